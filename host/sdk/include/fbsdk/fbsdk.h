#pragma once
// The SDK's umbrella header.

#include <fbsdk/fbdefines.h>
#include <fbsdk/fbplug.h>
#include <fbsdk/fbtime.h>
#include <fbsdk/fbtypes.h>
#include <fbsdk/fbproperty.h>
#include <fbsdk/fbcomponent.h>
#include <fbsdk/fbevent.h>
#include <fbsdk/fbscene.h>
#include <fbsdk/fbhudelement.h>
#include <fbsdk/fblibrary.h>

using namespace ORSDK2014;
