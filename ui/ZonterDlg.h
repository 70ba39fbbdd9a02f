#pragma once

#include <QFont>
#include <QIcon>
#include <QString>

#include "link/RefreshRequest.h"
#include "platform/ui/DialogBase.h"

class QPushButton;

// The main dialog: every control of IDD_MAIN, the handlers of its message
// map, and the window the workers ask to refresh.
class CZonterDlg : public platform::ui::DialogBase, public linkcore::RefreshSink {
public:
    explicit CZonterDlg(QWidget* parent = nullptr);
    ~CZonterDlg() override;

    // Stops the workers, restores and closes the port and releases the
    // link state's objects; runs once, when the modal dialog has ended.
    bool DestroyWindow();

    // linkcore::RefreshSink
    bool Refresh(unsigned code, const platform::Event& stop) override;
    void CaptureEnded(const std::string& message) override;

    // Value members (bound to controls by DoDataExchange).
    int m_portNumber = 1;
    QString m_rawText;
    QString m_decodedText;
    int m_decoder = 1;
    QString m_stateText;
    QString m_templateText;
    QString m_outText;
    int m_simulate = 0;
    int m_vt = 0;
    int m_p = 0;
    QString m_counterText;
    int m_gear = 3;
    QString m_gearCodeText;
    int m_maxP = 1;
    QString m_maxPText = QStringLiteral("1");
    int m_zeroStart = 0;
    int m_cruise = 0;
    int m_softStart = 1;
    int m_ebs = 1;
    int m_throttle = 0;
    int m_maxV = 90;
    QString m_throttleText;
    QString m_maxVText = QStringLiteral("90");

    // Control members.
    QPushButton* m_readOnceButton = nullptr;
    QPushButton* m_readAutoButton = nullptr;
    QPushButton* m_captureButton = nullptr;

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

    const QFont& monoFont() const { return m_monoFont; }

protected:
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    bool OnInitDialog() override;
    void done(int result) override;

private:
    enum class RunKind { SingleRead, AutoRead, Capture };
    bool PrepareRun(RunKind kind);
    void BuildTemplate();
    void ShowOutFrame();
    void ShowRxFrame();
    void ShowAboutBox();
    void ShowLineSpeedDialog();
    void EditWindowMenu();

    QIcon m_appIcon;
    QFont m_monoFont;
    bool m_destroyed = false;
};
