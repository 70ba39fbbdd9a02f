#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "link/Connection.h"
#include "link/RefreshRequest.h"
#include "platform/PortWatch.h"
#include "platform/ui/DialogBase.h"
#include "protocols/Codec.h"
#include "ui/MonitorDlg.h"

// The main dialog: every control of IDD_MAIN, the handlers of its message
// map, and the window the workers ask to refresh.
class CZonterDlg : public platform::ui::DialogBase, public linkcore::RefreshSink, public ReplayDisplay {
public:
    explicit CZonterDlg(platform::ui::DialogBase* parent = nullptr);
    ~CZonterDlg() override;

    // Stops the workers, restores and closes the port and releases the
    // link state's objects; runs once, when the modal dialog has ended.
    bool DestroyWindow();

    // linkcore::RefreshSink
    bool Refresh(unsigned code, const platform::Event& stop) override;
    void CaptureEnded(const std::string& message) override;

    // ReplayDisplay: a replayed controller frame through the selected
    // decoder into the raw and decoded lines and V/T and P.
    void ShowReplayedFrame(protocols::ConstRxFrameSpan raw) override;

    // The line monitor, made (or shown again) from the window menu.
    void ShowLineMonitor();
    CMonitorDlg* LineMonitor() const { return m_monitor.get(); }

    // Value members (bound to controls by DoDataExchange).
    int m_portNumber = 1;
    std::string m_rawText;
    std::string m_decodedText;
    int m_decoder = 1;
    std::string m_stateText;
    std::string m_templateText;
    std::string m_outText;
    int m_simulate = 0;
    int m_vt = 0;
    int m_p = 0;
    std::string m_counterText;
    int m_gear = 3;
    std::string m_gearCodeText;
    int m_maxP = 1;
    std::string m_maxPText = "1";
    int m_zeroStart = 0;
    int m_cruise = 0;
    int m_softStart = 1;
    int m_ebs = 1;
    int m_throttle = 0;
    int m_maxV = 90;
    std::string m_throttleText;
    std::string m_maxVText = "90";

    // Control members.
    platform::ui::DialogControl m_readOnceButton;
    platform::ui::DialogControl m_readAutoButton;
    platform::ui::DialogControl m_captureButton;

    // Handlers (public so that tests can drive them as the controls do).
    void OnSysCommand(unsigned code, long extra) override;
    void OnConnectClicked();
    void OnDisconnectClicked();
    void OnReadOnceClicked();
    void OnReadAutoClicked();
    void OnSimulateClicked();
    void OnCaptureClicked();
    void OnPortSpin(int delta);
    void OnGearDraw();
    void OnMaxPDraw();
    void OnThrottleDraw();
    void OnMaxVDraw();
    void OnZeroStartClicked();
    void OnCruiseClicked();
    void OnSoftStartClicked();
    void OnEbsSpin(int delta);
    void OnCounterClicked();

protected:
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    bool OnInitDialog() override;
    void OnDestroy() override;
    void OnTimer(int timerId) override;

private:
    bool PrepareRun(protocols::RunCommand kind);
    void BuildTemplate();
    void ShowOutFrame();
    void ShowRxFrame();
    void ShowRxLines(protocols::ConstRxFrameSpan rx, protocols::ConstRxFrameSpan raw);
    void ShowAboutBox();
    void ShowLineSpeedDialog();
    void ShowDetectDialog();
    void EditWindowMenu();

    // The port's line (ZonterDlg_Connection.cpp): an open on its own
    // thread, a line that has gone, and its return.
    enum class OpenFor { Connect, Return };
    void StartOpen(OpenFor purpose, unsigned portNumber);
    void OnOpenFinished();
    void OnOpenOutlasted();
    void ShowConnectOutcome(const linkcore::ConnectOutcome& outcome, unsigned portNumber);
    void ShowState(const std::string& text, const std::string& tip);
    void EnableRunButtons(bool enable);
    void OnLineGone();
    void WaitForReturn();
    void TryReturn();
    void EndReturnWait();

    linkcore::PortOpener m_opener;
    OpenFor m_openFor = OpenFor::Connect;
    unsigned m_openPort = 0;  // the COM number being opened
    std::chrono::steady_clock::time_point m_openStart;
    int m_openDecoder = 0;    // the decoder selected when Connect was pressed
    unsigned m_linePort = 0;  // the COM number of the port opened last
    // Set while a line that has gone is waited for.
    std::unique_ptr<platform::PortWatch> m_returnWatch;
    bool m_returnAgain = false;  // a change came while an open ran

    bool m_destroyed = false;
    std::unique_ptr<CMonitorDlg> m_monitor;
};
