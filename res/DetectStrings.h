#pragma once

// The user-interface texts of the protocol-detection dialog (UTF-8).
namespace res {

inline constexpr const char* kDetectTitle = "Определение протокола";
inline constexpr const char* kDetectApply = "Применить";
inline constexpr const char* kDetectCancel = "Отмена";

// The progress line: the speed being tried, its place in the sweep.
inline constexpr const char* kDetectListeningFormat = "Слушаю на %u бит/с (%u из %u) ...";
inline constexpr const char* kDetectDone = "Прослушано скоростей: %u";

// Results. A decoder: its list entry, speed, frames and errors with
// their nouns; a structure: speed, frame length and its noun, the first
// two bytes, the period.
inline constexpr const char* kDetectProtocolFormat = "%s, %u бит/с: %d %s, %d %s";
inline constexpr const char* kDetectStructureFormat = "%u бит/с: кадры по %u %s, начало %02X %02X, каждые %d мс";
inline constexpr const char* kDetectNothing = "Протокол не определён";
inline constexpr const char* kDetectSilent = "Линия молчит";

// Noun forms after a number: one, two to four, five and more.
inline constexpr const char* kFrameNouns[3] = {"кадр", "кадра", "кадров"};
inline constexpr const char* kErrorNouns[3] = {"ошибка", "ошибки", "ошибок"};
inline constexpr const char* kByteNouns[3] = {"байт", "байта", "байт"};

}  // namespace res
