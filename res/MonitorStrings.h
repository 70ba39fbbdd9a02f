#pragma once

// The user-interface texts of the line monitor (UTF-8).
namespace res {

inline constexpr const char* kMonitorTitle = "Монитор линии";

// Frame list columns.
inline constexpr const char* kColumnTime = "Время";
inline constexpr const char* kColumnDelta = "Δt, мс";
inline constexpr const char* kColumnDirection = "Напр.";
inline constexpr const char* kColumnBytes = "Байты";
inline constexpr const char* kColumnDescrambled = "Расшифровка";

inline constexpr const char* kLogStart = "Записать журнал…";
inline constexpr const char* kLogStop = "Стоп";
// "Открыть запись…" turns into "Отмена" while a file is being read.
inline constexpr const char* kOpenStart = "Открыть запись…";
inline constexpr const char* kOpenCancel = "Отмена";
inline constexpr const char* kPlay = "Воспроизвести";
inline constexpr const char* kPlayStop = "Остановить";

// Counters of one direction: direction, frames, rate, Δt min/mean/max,
// time-outs, skipped bytes, longest silence.
inline constexpr const char* kCountersFormat =
    "%s  кадров: %llu  (%.1f/с)   Δt мин/ср/макс: %.1f / %.1f / %.1f мс\n"
    "тайм-аутов: %llu   пропущено байт: %llu   наибольшая тишина: %.0f мс";

inline constexpr const char* kCaptureProgressFormat = "Запись 60 с: %d из 600 кадров, осталось %d с";
inline constexpr const char* kCaptureEndedFormat = "Запись 60 с окончена: %d из 600 кадров";
inline constexpr const char* kLostFormat = "Потеряно кадров (монитор не успел): %llu";
inline constexpr const char* kLogging = "Журнал пишется: %llu кадров";
inline constexpr const char* kLogWrittenFormat = "Журнал записан: %s (%llu кадров)";
inline constexpr const char* kLogFailedFormat = "Не удалось записать журнал %s: %s";
inline constexpr const char* kLogKeptFormat = "Не удалось записать журнал %s, данные в %s: %s";
inline constexpr const char* kLogFull = "Журнал достиг предела в %llu кадров и остановлен";
inline constexpr const char* kReplayOpenFailedFormat = "Не удалось открыть %s: %s";
inline constexpr const char* kReplayBadLineFormat = "Файл %s, строка %d: %s";
inline constexpr const char* kReplayPositionFormat = "%s: кадр %llu из %llu";
inline constexpr const char* kReplayEmpty = "В файле %s нет кадров контроллера";
inline constexpr const char* kReplayReadingFormat = "Чтение %s: %d %%";
inline constexpr const char* kReplayCancelledFormat = "Чтение %s отменено";

inline constexpr const char* kOpenQuestion = "Открыть запись или журнал";
inline constexpr const char* kSaveQuestion = "Записать журнал";
inline constexpr const char* kFileFilter = "Записи и журналы";
inline constexpr const char* kLogFilter = "Журналы (CSV)";

// Chart series.
inline constexpr const char* kSeriesVt = "V/T";
inline constexpr const char* kSeriesP = "P";

}  // namespace res
