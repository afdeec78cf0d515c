// The program's own fixed texts: the messages of its message boxes (UTF-8) and the window class name.
#pragma once

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

// The single-instance guard's name: fixed and specific to this program.
inline constexpr const char kInstanceName[] = "scatterview.single-instance";

}  // namespace app
