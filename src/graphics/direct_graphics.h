// DirectGraphics: the one object of the graphics layer. It owns the Direct3D object, the device, the
// sprite and font objects, five GDI fonts and the texture store, and draws everything the scene shows.
// Set-up and teardown: direct_graphics.cpp; states, camera, fog, present: render_states.cpp;
// the store: texture_store.cpp; sprites, points and lines: primitives.cpp; the back buffer of a
// resizable window: window_size.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "graphics/texture_store.h"
#include "graphics/vertex_types.h"
#include "render/d3d8.h"
#include "render/d3dx8.h"
#include "render/gdi_font.h"

// The display settings as config.ini gives them, in this order. savedRefreshRate is no input: Init
// keeps there the rate it found before forcing 60 Hz, and the teardown puts it back.
struct GraphicsConfig {
  int32_t FullScreen, Width, Height, BIT, savedRefreshRate, VSYNC_WAIT, DRAWLEVEL, HARD_TL, FOG, D3DX_SPRITE,
      NOBACKDRAW;
};

// Init's result codes.
constexpr int32_t GRAPHICS_OK = 0;
constexpr int32_t GRAPHICS_NO_DIRECT3D = 1;
constexpr int32_t GRAPHICS_NO_DEVICE = 2;
constexpr int32_t GRAPHICS_NO_SPRITE = 3;
constexpr int32_t GRAPHICS_NO_REFRESH_RATE = 4;
// No device for want of memory (its back and depth buffers grow with Width x Height): not a bad setting.
constexpr int32_t GRAPHICS_NO_MEMORY = 5;

// What ApplyWindowSize did: nothing waited, the back buffer took the window's size, or it kept its size
// because the device could not have buffers of the new one (no memory, or a size it refuses).
enum class WindowSizeChange { Unchanged, Resized, NoMemory, Refused };

// How DirectGraphics gets its Direct3D object; tests pass one that records the device calls.
using Direct3DFactory = std::function<IDirect3D8*(UINT sdkVersion)>;

class DirectGraphics {
 public:
  explicit DirectGraphics(Direct3DFactory create = Direct3DCreate8);
  virtual ~DirectGraphics();  // the teardown
  DirectGraphics(const DirectGraphics&) = delete;
  DirectGraphics& operator=(const DirectGraphics&) = delete;

  // 0 on success; 1 no Direct3D object, 2 no device, 3 no sprite, 4 no 60 Hz display, 5 no memory for the
  // device (see GRAPHICS_*).
  // A failure returns at once and undoes nothing; the destructor still cleans up what exists.
  int32_t Init(HWND window, int32_t fullScreen, int32_t width, int32_t height, int32_t bit, int32_t vsyncWait,
               int32_t drawLevel, int32_t hardTl, int32_t fog, int32_t d3dxSprite, int32_t noBackDraw);
  // 8, 16, 24, 32 or 64; any other size selects 16.
  void SelectFont(uint32_t size);

  // --- states and camera (render_states.cpp) ---
  void SetRenderStates(bool lighting);
  void SetBlendFunc(int32_t sourceBlend, int32_t destinationBlend);
  // Does nothing at all when `texture` is the one bound last (the process-wide cache).
  void BindTexture(uint32_t stage, IDirect3DTexture8* texture, DWORD vertexFormat);
  void SetCamera(float eyeX, float eyeY, float eyeZ, float atX, float atY, float atZ, float upX, float upY,
                 float upZ, int32_t nearPlane, int32_t farPlane, bool leftHanded);
  void TranslateWorld(float x, float y, float z);  // worldMatrix = worldMatrix × translation
  void SetFog(bool enable, float start, float end, D3DCOLOR colour);  // no call at all when FOG is 0
  void Clear(DWORD flags, D3DCOLOR colour);
  void Present(RECT source, RECT destination);  // one Reset after a failed present
  // Whether each present waits for the display's retrace, which then paces the frames: full-screen
  // with VSYNC_WAIT, where presenting to the window really waits for it.
  bool RetracePacesPresents() const;
  void SetupLight();

  // --- a window the user may resize (window_size.cpp) ---
  // From now on the back buffer follows the window's client size (RESIZABLE): config.Width and
  // config.Height, and with them the camera's aspect, become the window's as each change is applied.
  // The window's size at this moment is the first one taken (a window manager may have changed it).
  void FollowWindowSize();
  bool FollowsWindowSize() const { return followsWindow_; }
  // The window's new client size (WM_SIZE), kept for the next ApplyWindowSize; ignored unless the back
  // buffer follows the window.
  void WindowResized(int32_t width, int32_t height);
  // At the start of a frame: the device reset (as after a failed present) to the size last reported,
  // its back and depth buffers made anew at that size. Without them it keeps the old size whole.
  // `width` and `height`, when given, receive the size asked for.
  WindowSizeChange ApplyWindowSize(int32_t* width = nullptr, int32_t* height = nullptr);

  // --- texture store (texture_store.cpp) ---
  // Loads `name` (relative to the program's directory, '\' read as '/'); on failure throws the text
  // "DDSファイルががが" as char* and keeps the failed entry (name set, no texture).
  int32_t LoadTexture(const char* name, uint32_t filter);
  int32_t FindTexture(const char* name);       // index of the first entry of that name, or -1
  IDirect3DTexture8* GetTexture(const char* name);  // borrowed; null for an unknown name
  void ReleaseTextures();                      // in load order

  // --- primitives (primitives.cpp) ---
  void BlitSprite(SpriteBlit blit);
  // BlitSprite on a picture of `screenWidth` × `screenHeight` instead of the fixed 640 × 480: text the
  // scene places on a larger picture than the window shows (the render tool's --size).
  void BlitSpriteWithin(SpriteBlit blit, int32_t screenWidth, int32_t screenHeight);
  // The screen pixels [left, right) × [top, bottom) in one opaque colour, untextured.
  void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR colour);
  void DrawPoint(double x, double y, double z, D3DCOLOR colour);
  void DrawLine(double x1, double y1, double z1, double x2, double y2, double z2, D3DCOLOR colour);
  // Primitives [first, first + count) of a vertex buffer of RowVertex: D3DPT_POINTLIST, or
  // D3DPT_LINESTRIP flat-shaded so that each segment takes its first row's colour: the picture of
  // DrawPoint, or DrawLine from each row to the next in that row's colour.
  void DrawRowBuffer(IDirect3DVertexBuffer8* rows, D3DPRIMITIVETYPE type, UINT first, UINT count);

  std::vector<TextureEntry> textures;
  int32_t fontSize = 0;
  int32_t osFamily = 0;  // 1 = the 95/98/Me family, 2 = the NT family (always 2 here)
  HWND window = nullptr;
  D3DXMATRIX worldMatrix;  // built by the scene; zero until then
  IDirect3D8* direct3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  D3DPRESENT_PARAMETERS presentParams{};
  ID3DXSprite* sprite = nullptr;
  ID3DXFont* font = nullptr;
  D3DLIGHT8 light{};
  HFONT gdiFonts[5] = {};  // heights 8, 16, 24, 32, 64
  GraphicsConfig config{};
  int32_t textureCount = 0;

 private:
  // Init's steps.
  void FillPresentParams(D3DFORMAT desktopFormat);
  int32_t CreateDeviceForHardTl();
  void CreateGdiFonts();
  [[gnu::noinline]] void BindNewTexture(uint32_t stage, IDirect3DTexture8* texture, DWORD vertexFormat);
  // The device back to presentParams: its buffers made anew, its states at their defaults.
  HRESULT ResetDevice();

  Direct3DFactory create_;
  bool followsWindow_ = false;
  int32_t windowWidth_ = 0, windowHeight_ = 0;  // the size WM_SIZE reported last; 0: none waits
};

// Forgets the texture that BindTexture bound last, as at process start. For tests only: the program
// binds through one device for its whole run and never needs it.
void ResetTextureBindingCache();

extern DirectGraphics* g_graphics;
