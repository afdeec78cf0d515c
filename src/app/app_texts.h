// The program's own fixed texts: the messages of its message boxes (UTF-8) with the English glosses
// their stderr lines add, and the window class name.
#pragma once

#include <string_view>

namespace app {

inline constexpr const char kTextFileNotFound[] = "ファイルが見つかりません";
inline constexpr const char kTextSecondInstance[] = "二重起動無理[ﾟдﾟ]<箱をｱｲｼﾃ!!";
inline constexpr const char kCaptionSecondInstance[] = "（　´,_ゝ｀）,_ゝ｀）,_ゝ｀）,_ゝ｀）ｸﾜﾄﾞﾛﾌﾟﾙﾌﾟｹﾞﾗｯﾁｮ";
inline constexpr const char kTextGraphicsInit[] = "DirectGraphicsの初期化に失敗ｏ(≧▽≦)Ｏ!!";
inline constexpr const char kTextDeviceInit[] = "[ﾟдﾟ]<デバイスの初期化に失敗";
inline constexpr const char kTextSpriteInit[] = "DirectSpriteの初期化に失敗(*ﾟДﾟ)∂";
inline constexpr const char kTextRefreshRate[] = "リフレッシュレート変更に失敗しました(´Д｀)";
inline constexpr const char kTextGraphicsUnknown[] = "DirectGraphics関連の不明なエラー（・∀・）";
inline constexpr const char kTextInputInit[] = "DirectInputの不明なエラー";
inline constexpr const char kCaptionWarning[] = "警告";
inline constexpr const char kCaptionDevice[] = "[ﾟдﾟ]＜";
inline constexpr const char kWindowClassName[] = "(ﾟдﾟ)ﾊｯ";

// What each message means, in a few English words for the stderr line (the box keeps the text alone).
struct TextGloss {
  const char* text;
  const char* gloss;
};
inline constexpr TextGloss kGlosses[] = {
    {kTextFileNotFound, "file not found"},
    {kTextSecondInstance, "scatterview is already running"},
    {kTextGraphicsInit, "graphics set-up failed"},
    {kTextDeviceInit, "the graphics device could not be created"},
    {kTextSpriteInit, "the sprite could not be created"},
    {kTextRefreshRate, "the display refresh rate could not be set"},
    {kTextGraphicsUnknown, "unknown graphics error"},
    {kTextInputInit, "input set-up failed"},
};

// The gloss of one of the texts above; "" for any other.
constexpr const char* GlossOf(std::string_view text) {
  for (const TextGloss& entry : kGlosses)
    if (text == entry.text) return entry.gloss;
  return "";
}

// The single-instance guard's name: fixed and specific to this program.
inline constexpr const char kInstanceName[] = "scatterview.single-instance";

}  // namespace app
