#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "device/CountRows.h"
#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"
#include "ui/ControlDialog.h"
#include "dialog/PortTable.h"
#include "ui/WorkerSet.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class PortWatcher;

// The program's main window: one modal dialog built from its template. It is the window of the
// link's command exchanges (ExchangeHost) and the target of decoded replies (ReplyTarget).
//
// The controls, the way to them from other threads, the message box and the timer are the
// machinery of ControlDialog; the workers are a WorkerSet. This class holds what the dialog does.
class CVelkorDlg : public ControlDialog, public ExchangeHost, public ReplyTarget {
    Q_OBJECT

public:
    enum ConnectionState : int32_t { Disconnected = 0, Connecting = 1, Connected = 2 };

    explicit CVelkorDlg(LinkSession& session = TheLinkSession(), QWidget* parent = nullptr);
    ~CVelkorDlg() override;

    // ----- Control-state rules (ControlStateRules.cpp) --------------------------------------
    void UpdateControls();

    // ----- Closing (Closing.cpp) ------------------------------------------------------------
    // Ends the modal run: the dialog first lets go of the link and its workers.
    void done(int result) override;

    // ----- Event handlers, bound by the event table (EventTable.cpp) ------------------------
    void OnConnectButton();    // ConnectionWorkflow.cpp
    void OnReadSettings();     // SettingsOperations.cpp
    void OnApplySettings();    // SettingsOperations.cpp
    void OnStartStop();        // SettingsOperations.cpp
    void OnPeriodSelChange();  // SettingsOperations.cpp
    void OnReadCounts();       // CountReadout.cpp
    void OnAutoUpdate();       // CountReadout.cpp
    void OnTimer();            // CountReadout.cpp
    // WM_COUNT_UPDATE: one stored count into its display (CountReadout.cpp).
    void OnCountUpdate(int32_t index);
    // Port arrival or removal; always 0 (PortList.cpp).
    int OnDeviceChange(uint32_t eventType, uint32_t deviceType);

    // ----- Port list (PortList.cpp) ---------------------------------------------------------
    void RefreshPortList();
    bool EnumeratePorts();
    void AddPortEntry(const std::string& name, const std::string& path, bool usb);

    // ----- Connection workflow (ConnectionWorkflow.cpp) -------------------------------------
    // Opens the link and brings the unit in: 0, or negative once the failure was shown.
    int ConnectUnit();

    // ----- Settings operations (SettingsOperations.cpp, SettingsControls.cpp) ---------------
    // Reads the unit's settings into the held record and the controls; on failure a negative
    // result and the operator's text (empty for the operator's abort).
    int ReadSettings(QString& errorText);
    void ApplySettings();
    // The busy display in the bottom strip: ProgressBar instead of VersionText, and back
    // (Progress.cpp).
    void BeginProgress();
    void EndProgress();

    // ----- Count readout (CountReadout.cpp) -------------------------------------------------
    // Requests the counts of the counted inputs or encoder pairs; results as ReadSettings.
    int RequestCounts(QString& errorText);

    // ----- ExchangeHost ---------------------------------------------------------------------
    std::atomic<int32_t>& CountBusy() override { return CountBusyFlag; }
    std::atomic<int32_t>& AbortRequested() override { return AbortRequestedFlag; }
    void ResetProgress() override;

    // ----- ReplyTarget ----------------------------------------------------------------------
    LinkSession& Link() override { return Session; }
    PulseConfig& HeldConfig() override { return pulseConfig; }
    // Safe from any thread; never blocks (CountReadout.cpp).
    void PostCountUpdate(int32_t index) override;

signals:
    // A port arrived or was removed (eventType DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE,
    // deviceType DBT_DEVTYP_PORT). The port watcher emits it, from any thread.
    void DeviceChange(uint32_t eventType, uint32_t deviceType);

protected:
    // ----- Pre-translation (PreTranslate.cpp) -----------------------------------------------
    // The count notification, and Return/Enter on the dialog itself.
    bool event(QEvent* event) override;
    // Return/Enter never reaches a control.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class DialogTestAccess;

    // ----- Initialisation (DialogInitialisation.cpp) ----------------------------------------
    void ConnectEventTable();  // EventTable.cpp
    void OnInitDialog();
    void BindControls();
    void FillComboBoxes();
    void WatchPorts();  // PortList.cpp

    // ----- Control-state rules (ControlStateRules.cpp) --------------------------------------
    void ApplyDisconnectedRules();
    void ApplyConnectedRules();
    void ApplySettingsWorkerLock();

    // ----- Connection workflow (ConnectionWorkflow.cpp) -------------------------------------
    bool TakeRoute();
    bool TakeNode();
    void Disconnect();
    void ConnectWorker();
    void ShowConnecting();
    bool IdentifyUnit();
    void DropLink(const QString& message);
    void FinishConnecting(int result);

    // ----- Settings operations (SettingsOperations.cpp, SettingsControls.cpp) ---------------
    void ReadSettingsThread();
    void ApplySettingsThread();
    void StartSettingsWorker(void (CVelkorDlg::*body)());
    void UnlockAfterSettingsWorker();
    void ShowHeldSettings();
    PulseConfig SettingsFromControls();
    bool EncoderInputsUsable(const PulseConfig& next);

    // ----- Count readout (CountReadout.cpp) -------------------------------------------------
    void ClearCountDisplays();
    void ShowCountRow(int32_t j, const CountRow& row);
    void StopAutoUpdate();

    // ----- Closing (Closing.cpp) ------------------------------------------------------------
    void ShutDown();
    // The value for LinkSession::userData that makes the dialog the reply target.
    void* ReplyUserData() { return static_cast<ReplyTarget*>(this); }

    // ----- Dialog fields --------------------------------------------------------------------
    QFont CountFont;
    std::atomic<int32_t> ConnState{Disconnected};
    uint16_t FileVersionMajor = 0;
    uint16_t FileVersionMinor = 0;
    uint16_t FileVersionThird = 0;
    uint16_t FileVersionFourth = 0;
    QString VersionString;
    std::array<PortEntry, MAX_PORT_ENTRIES> PortTable;
    int32_t PortCount = 0;
    std::atomic<int32_t> InputCount{0};
    std::atomic<int32_t> NodeNumber{0};
    PulseConfig pulseConfig;
    std::atomic<int32_t> AutoUpdateSeconds{0};
    // Reached through CountBusy() and AbortRequested(), the names the link knows them by.
    std::atomic<int32_t> CountBusyFlag{0};
    std::atomic<int32_t> AbortRequestedFlag{0};
    QIcon AppIcon;

    // Control objects in binding order; arrays are indexed by input (DI1 is index 0).
    std::array<QWidget*, 4> RouteTexts{};     // NodeLabel, RouteGroup, AddressLabel, PortLabel
    std::array<QWidget*, 5> SettingsTexts{};  // SettingsGroup, PeriodLabel, DebounceLabel,
                                              // IntervalLabel, SecondsLabel
    QLineEdit* NodeEdit = nullptr;
    std::array<QRadioButton*, 2> RouteRadios{};  // LanRadio, UsbRadio
    QLineEdit* AddressEdit = nullptr;
    QLineEdit* TcpPortEdit = nullptr;
    QComboBox* PortCombo = nullptr;
    QPushButton* ConnectButton = nullptr;
    QCheckBox* EnableCheck = nullptr;
    std::array<QRadioButton*, 2> PhaseRadios{};       // SinglePhaseRadio, TwoPhaseRadio
    std::array<QRadioButton*, 2> MultiplierRadios{};  // X2Radio, X4Radio
    QCheckBox* ClearSignalCheck = nullptr;
    QComboBox* PeriodCombo = nullptr;
    QComboBox* DebounceCombo = nullptr;
    QPushButton* ReadSettingsButton = nullptr;
    QPushButton* WriteSettingsButton = nullptr;
    QLabel* CountStatusText = nullptr;
    QPushButton* StartStopButton = nullptr;
    QPushButton* ReadCountsButton = nullptr;
    QCheckBox* AutoUpdateCheck = nullptr;
    QLineEdit* IntervalEdit = nullptr;
    std::array<QLabel*, 5> CountLabel{};
    std::array<QLabel*, 5> CountValue{};
    QLabel* VersionText = nullptr;
    std::array<QComboBox*, 5> EdgeCombo{};
    std::array<QLabel*, 5> EdgeLabel{};
    QProgressBar* ProgressBar = nullptr;
    QLabel* DeviceInfoText = nullptr;

    // ----- State of the program's own, beyond the dialog fields ------------------------------
    LinkSession& Session;
    // A connection worker was started and has not shown its end yet: ConnectButton aborts.
    std::atomic<bool> connectWorkerActive{false};
    // A settings worker (read or write) runs. The control-state rules keep ConnectButton, the
    // settings buttons and StartStopButton disabled meanwhile, and their handlers refuse.
    std::atomic<bool> settingsWorkerActive{false};
    // Set while the dialog closes: a second close waits for nothing.
    std::atomic<bool> closing{false};
    // Count notifications handled so far and the index of the last one.
    std::atomic<int32_t> countUpdatesHandled{0};
    std::atomic<int32_t> lastCountUpdateIndex{-1};
    WorkerSet workers;
    PortWatcher* portWatcher = nullptr;
};
