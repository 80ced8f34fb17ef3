#pragma once
// The SDK's umbrella header.

#include <fbsdk/fbanimation.h>
#include <fbsdk/fbcomponent.h>
#include <fbsdk/fbdefines.h>
#include <fbsdk/fbevent.h>
#include <fbsdk/fbhudelement.h>
#include <fbsdk/fblibrary.h>
#include <fbsdk/fbplug.h>
#include <fbsdk/fbproperty.h>
#include <fbsdk/fbscene.h>
#include <fbsdk/fbtime.h>
#include <fbsdk/fbtypes.h>

using namespace ORSDK2014;
