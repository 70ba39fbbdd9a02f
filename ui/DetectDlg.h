#pragma once

#include <atomic>
#include <string>

#include "platform/ui/DialogBase.h"
#include "protocols/Detection.h"
#include "workers/LineListener.h"

namespace ui {

// The result line of a sweep: the decoder with its speed, frames and
// errors; the structure of an unknown line; or that nothing was found, or
// that no byte came at all.
[[nodiscard]] std::string DetectResultText(const protocols::Finding& finding, bool silent);

}  // namespace ui

// "Определение протокола": listens on the open port at one speed after
// another (protocols::Sweep), showing the speed being tried, and reports
// what the line speaks. It only listens. The opener stops the running
// workers first, as a run start does. "Отмена" ends the sweep at once;
// the speed in force before is restored whenever the sweep ends, and
// "Применить" then sets the speed found and ends with kIdOk, the decoder
// to select in ChosenDecoder().
class CDetectDlg : public platform::ui::DialogBase, private workers::ListenSink {
public:
    explicit CDetectDlg(platform::ui::DialogBase* parent = nullptr);
    ~CDetectDlg() override;

    // The decoder "Применить" chose: the one found, or the raw test
    // decoder for a structured line of no known decoder.
    [[nodiscard]] int ChosenDecoder() const { return m_chosenDecoder; }
    [[nodiscard]] bool Finished() const { return m_finished; }
    [[nodiscard]] const protocols::Finding& Found() const { return m_found; }

    void OnApplyClicked();

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    // workers::ListenSink, on the listener's thread.
    void Listened(const protocols::Finding& finding) override;

    void ListenNext();
    void Finish();
    void EndSweep();

    protocols::Sweep m_sweep;
    int m_savedSpeed = 0;
    bool m_sweeping = false;
    bool m_finished = false;
    protocols::Finding m_found;
    int m_chosenDecoder = -1;
    workers::LineListener m_listener;  // last: stopped before the rest goes
};
