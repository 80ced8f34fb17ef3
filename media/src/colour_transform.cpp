#include <OpenColorIO/OpenColorIO.h>
#include <media/colour_transform.h>

#include <cstdlib>
#include <functional>

namespace OCIO = OCIO_NAMESPACE;

namespace media {
namespace {

// OpenColorIO answers "" for a name it does not have; null is taken the same.
std::string Text(const char* pName) { return pName ? pName : ""; }

// Names a config holds, for a message about one it does not.
std::string Listed(int pCount, const std::function<const char*(int)>& pName) {
  const int kMost = 12;
  std::string text;
  for (int i = 0; i < pCount && i < kMost; ++i) {
    text += (text.empty() ? "" : ", ") + Text(pName(i));
  }
  if (pCount > kMost) text += " and " + std::to_string(pCount - kMost) + " more";
  return text.empty() ? "none" : text;
}

bool Holds(int pCount, const std::function<const char*(int)>& pName, const std::string& pWanted) {
  for (int i = 0; i < pCount; ++i) {
    const char* name = pName(i);
    if (name && pWanted == name) return true;
  }
  return false;
}

// With no config: linear light encoded with the sRGB curve (the inverse of
// its decoding, a 2.4 power with a linear toe).
OCIO::ConstProcessorRcPtr SrgbCurve() {
  OCIO::ExponentWithLinearTransformRcPtr curve = OCIO::ExponentWithLinearTransform::Create();
  curve->setGamma({2.4, 2.4, 2.4, 1.0});
  curve->setOffset({0.055, 0.055, 0.055, 0.0});
  curve->setDirection(OCIO::TRANSFORM_DIR_INVERSE);
  return OCIO::Config::CreateRaw()->getProcessor(curve);
}

// The display transform the config gives: null with pError naming what it
// lacks, or null alone where the footage is shown as decoded.
OCIO::ConstProcessorRcPtr ThroughConfig(const ColourSettings& pSettings, const std::string& pPath,
                                        bool pSceneLinear, std::string* pDetail,
                                        std::string* pError) {
  OCIO::ConstConfigRcPtr config;
  try {
    config = OCIO::Config::CreateFromFile(pPath.c_str());
    config->validate();
  } catch (const OCIO::Exception& error) {
    *pError = "OpenColorIO config " + pPath + " does not load: " + error.what();
    return nullptr;
  }
  const std::string in = "OpenColorIO config " + pPath + ": ";
  std::string source = pSettings.colorspace;
  if (source.empty() && pSceneLinear) {
    if (!config->hasRole(OCIO::ROLE_SCENE_LINEAR)) {
      *pError = in + "no scene_linear role to take float EXR as; name its colour space";
      return nullptr;
    }
    source = OCIO::ROLE_SCENE_LINEAR;
  }
  if (source.empty()) {
    if (!pSettings.display.empty() || !pSettings.view.empty()) {
      *pError = in + "a display or view needs the footage's colour space named";
      return nullptr;
    }
    *pDetail = in + "the footage is shown as decoded, as no colour space is named for it";
    return nullptr;
  }
  OCIO::ConstColorSpaceRcPtr space = config->getColorSpace(source.c_str());
  if (!space) {
    *pError = in + "no colour space '" + source + "' (it has " +
              Listed(config->getNumColorSpaces(),
                     [&](int i) { return config->getColorSpaceNameByIndex(i); }) +
              ")";
    return nullptr;
  }
  const auto displayName = [&](int i) { return config->getDisplay(i); };
  const std::string display =
      pSettings.display.empty() ? Text(config->getDefaultDisplay()) : pSettings.display;
  if (!Holds(config->getNumDisplays(), displayName, display)) {
    *pError = in + "no display '" + display + "' (it has " +
              Listed(config->getNumDisplays(), displayName) + ")";
    return nullptr;
  }
  const auto viewName = [&](int i) { return config->getView(display.c_str(), i); };
  const std::string view =
      pSettings.view.empty() ? Text(config->getDefaultView(display.c_str())) : pSettings.view;
  if (!Holds(config->getNumViews(display.c_str()), viewName, view)) {
    *pError = in + "no view '" + view + "' for display '" + display + "' (it has " +
              Listed(config->getNumViews(display.c_str()), viewName) + ")";
    return nullptr;
  }
  try {
    OCIO::ConstProcessorRcPtr processor = config->getProcessor(
        source.c_str(), display.c_str(), view.c_str(), OCIO::TRANSFORM_DIR_FORWARD);
    *pDetail = "colour through " + in + "'" + Text(space->getName()) + "' to display '" + display +
               "', view '" + view + "'";
    return processor;
  } catch (const OCIO::Exception& error) {
    *pError = in + "its transform from '" + source + "' to " + display + ", " + view +
              " does not build: " + error.what();
    return nullptr;
  }
}

}  // namespace

struct ColourTransform::Impl {
  OCIO::ConstCPUProcessorRcPtr floats;
  OCIO::ConstCPUProcessorRcPtr bytes;
};

ColourTransform::ColourTransform() : mImpl(std::make_unique<Impl>()) {}
ColourTransform::~ColourTransform() = default;

std::unique_ptr<ColourTransform> ColourTransform::Create(const ColourSettings& pSettings,
                                                         bool pSceneLinear, std::string* pDetail,
                                                         std::string* pError) {
  pError->clear();
  pDetail->clear();
  std::string path = pSettings.config;
  if (path.empty()) path = Text(std::getenv("OCIO"));
  try {
    OCIO::ConstProcessorRcPtr processor;
    if (!path.empty()) {
      processor = ThroughConfig(pSettings, path, pSceneLinear, pDetail, pError);
    } else if (!pSettings.colorspace.empty() || !pSettings.display.empty() ||
               !pSettings.view.empty()) {
      *pError =
          "a colour space, display or view needs an OpenColorIO config, and none is given "
          "($OCIO is not set)";
    } else if (pSceneLinear) {
      *pDetail =
          "float EXR taken as scene-linear with Rec.709 primaries and shown through the sRGB "
          "curve, as no OpenColorIO config is given";
      processor = SrgbCurve();
    }
    if (!processor) return nullptr;
    std::unique_ptr<ColourTransform> transform(new ColourTransform());
    transform->mImpl->floats = processor->getDefaultCPUProcessor();
    transform->mImpl->bytes = processor->getOptimizedCPUProcessor(
        OCIO::BIT_DEPTH_UINT8, OCIO::BIT_DEPTH_UINT8, OCIO::OPTIMIZATION_DEFAULT);
    return transform;
  } catch (const OCIO::Exception& error) {
    *pError = std::string("OpenColorIO: ") + error.what();
    return nullptr;
  }
}

void ColourTransform::Apply(float* pRgba, int pWidth, int pHeight) const {
  OCIO::PackedImageDesc image(pRgba, pWidth, pHeight, 4);
  mImpl->floats->apply(image);
}

void ColourTransform::Apply(uint8_t* pRgba, int pWidth, int pHeight) const {
  OCIO::PackedImageDesc image(pRgba, pWidth, pHeight, 4, OCIO::BIT_DEPTH_UINT8, OCIO::AutoStride,
                              OCIO::AutoStride, OCIO::AutoStride);
  mImpl->bytes->apply(image);
}

}  // namespace media
