// The element's identity and its life: construction, creation, teardown.

#include "element/vexa_hud_element.h"

#include <FTGL/ftgl.h>
#include <GL/gl.h>

#include <vector>

namespace {

// A font deletes its glyph textures in whatever context is current. Fonts
// whose textures belong to a context that is not current at teardown are kept
// here instead, with the bytes they read, for the life of the process: their
// textures go with their own context, and nothing else is ever released in it.
struct KeptFonts {
  FTFont* fonts[3];
  unsigned char* bytes[2];
};

std::vector<KeptFonts>& Kept() {
  static std::vector<KeptFonts>* const sKept = new std::vector<KeptFonts>;
  return *sKept;
}

}  // namespace

// Takes the next free id of the host's counter when the library loads.
int VexaHUDElement::TypeInfo = FBPlug::mGlobalTypeInfo++;

const char* VexaHUDElement::ClassName() { return "VexaHUDElement"; }
int VexaHUDElement::GetTypeId() { return TypeInfo; }

bool VexaHUDElement::Is(int pTypeId) {
  if (pTypeId == VexaHUDElement::TypeInfo || pTypeId == FBHUDElement::TypeInfo ||
      pTypeId == FBBox::TypeInfo) {
    return true;
  }
  return FBComponent::Is(pTypeId);
}

void VexaHUDElement::FBDelete() { FBComponent::FBDelete(); }

// Everything the element keeps lives in its published properties.
bool VexaHUDElement::FbxStore(FBFbxObject*, kFbxObjectStore) { return true; }
bool VexaHUDElement::FbxRetrieve(FBFbxObject*, kFbxObjectStore) { return true; }

VexaHUDElement::VexaHUDElement(const char* pName, HIObject pObject) : FBHUDElement(pName, pObject) {
  mGlyphText[0] = '\0';
}

VexaHUDElement::~VexaHUDElement() {
  // Only a failed creation leaves fonts here; FBDestroy releases them otherwise.
  _releaseFonts();
}

bool VexaHUDElement::FBCreate() {
  _publishProperties();
  _setDefaults();

  // An element created while a recording rolls shows no flash for it.
  FBPlayerControl lPlayerControl;
  bool lRecording = false;
  bool lPlaying = false;
  lPlayerControl.IsRecording.GetData(&lRecording, sizeof(lRecording));
  if (lRecording) lPlayerControl.IsPlaying.GetData(&lPlaying, sizeof(lPlaying));
  mBloopFired = lRecording && lPlaying;

  bool lShow = true;
  Show.SetData(&lShow);

  if (!_loadFonts()) return false;

  MaskColor = FBColorAndAlpha(0.0, 0.0, 0.0, 0.75);
  _createReticleTexture();

  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Add(
      this, (FBCallback)&VexaHUDElement::OnPerFrameRenderingPipelineCallback);
  FBSystem().OnConnectionNotify.Add(this, (FBCallback)&VexaHUDElement::OnConnectionNotify);
  return true;
}

void VexaHUDElement::FBDestroy() {
  // Handlers go first, before anything they might reach is released.
  FBEvaluateManager::TheOne().OnRenderingPipelineEvent.Remove(
      this, (FBCallback)&VexaHUDElement::OnPerFrameRenderingPipelineCallback);
  FBSystem().OnConnectionNotify.Remove(this, (FBCallback)&VexaHUDElement::OnConnectionNotify);

  // With several viewers, another context may be current here, holding
  // textures of its own under the same names: ours are released only in the
  // context they were made in, and otherwise left to that context.
  const GlContextId lCurrent = CurrentGlContext();
  const auto lAtHome = [&lCurrent](const GlContextId& pMadeIn) {
    return !lCurrent.IsNone() && lCurrent == pMadeIn;
  };
  if (mGlyphsMade && !lAtHome(mGlyphContext)) {
    Kept().push_back(
        KeptFonts{{mValueFont, mLabelFont, mMessageFont}, {mOratorFontBytes, mArialFontBytes}});
    mValueFont = mLabelFont = mMessageFont = nullptr;
    mOratorFontBytes = mArialFontBytes = nullptr;
  }
  _releaseFonts();
  mGlyphsMade = false;

  if (mReticleTexture != 0) {
    if (lAtHome(mReticleContext)) {
      GLuint lTexture = mReticleTexture;
      glDeleteTextures(1, &lTexture);
    }
    mReticleTexture = 0;
  }

  FBComponent::FBDestroy();
}

void VexaHUDElement::_noteGlyphContext() {
  if (mGlyphsMade) return;
  mGlyphContext = CurrentGlContext();
  mGlyphsMade = true;
}

void VexaHUDElement::_releaseFonts() {
  // Fonts read their faces from the buffers, so they go first.
  delete mValueFont;
  mValueFont = nullptr;
  delete mLabelFont;
  mLabelFont = nullptr;
  delete mMessageFont;
  mMessageFont = nullptr;
  delete[] mOratorFontBytes;
  mOratorFontBytes = nullptr;
  delete[] mArialFontBytes;
  mArialFontBytes = nullptr;
}
