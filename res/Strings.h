#pragma once

// The user-interface texts of the main window and its commands (UTF-8).
namespace res {

inline constexpr const char* kMainTitle = "Zonter - КМ";
inline constexpr const char* kAboutItem = "&О проекте Zonter...";  // IDS_ABOUT_ITEM
inline constexpr const char* kLineSpeedItem = "Скорость ...";
inline constexpr const char* kLineMonitorItem = "Монитор линии";
inline constexpr const char* kDetectItem = "Определить протокол ...";

inline constexpr const char* kComNameFormat = "COM%u";
inline constexpr const char* kNoAccessFormat = "Нет доступа к COM%u";
inline constexpr const char* kConnected = "Соединение установ.";
inline constexpr const char* kLineGoneFormat = "COM%u отключён";
inline constexpr const char* kSettingsRefusedFormat = "COM%u: настройки не приняты";
inline constexpr const char* kNoAnswer = "порт не ответил за 3 с";

inline constexpr const char* kTimeOut = "Time Out";
inline constexpr const char* kCaptureWritten = "300/600 пак. зап.";
inline constexpr const char* kCounterTimeOutSuffix = "(TimeOut)";

inline constexpr const char* kNoSyncObjects =
    "Система не выдала объекты синхронизации; программа не может работать и будет закрыта.";

inline constexpr const char* kAboutText = "Zonter 2.0: сервис контроллера самоката, 2020";

}  // namespace res
