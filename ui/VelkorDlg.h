#pragma once

#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"
#include "ui/DialogTemplate.h"
#include "ui/DialogUnits.h"
#include "ui/PortTable.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class PortWatcher;

// The program's main window: one modal dialog built from its template. The dialog is the window
// of the link's command exchanges (ExchangeHost) and the target of decoded replies (ReplyTarget).
//
// Widgets belong to the user-interface thread. Every other thread, and all operation code, works
// on the controls only through the control layer below, keyed by control identifier.
class CVelkorDlg : public QDialog, public ExchangeHost, public ReplyTarget {
    Q_OBJECT

public:
    enum ConnectionState : int32_t { Disconnected = 0, Connecting = 1, Connected = 2 };

    explicit CVelkorDlg(LinkSession& session = TheLinkSession(), QWidget* parent = nullptr);
    ~CVelkorDlg() override;

    // ----- Controls -------------------------------------------------------------------------
    // The control of an identifier; nullptr for an identifier the template does not have.
    QWidget* Control(int32_t id) const;
    // The separator lines, in template order (they have no identifier).
    const std::vector<QWidget*>& Separators() const { return separators; }
    // Base units of the dialog font, which convert the template's dialog units to pixels.
    DialogBaseUnits BaseUnits() const { return baseUnits; }

    // ----- Control layer: safe from any thread --------------------------------------------
    // Called on the user-interface thread they act at once; from any other thread they run on
    // the user-interface thread while the caller waits, so that thread must keep its event loop
    // running. Unknown identifiers are ignored (reads give false, -1 or an empty text).
    void EnableControl(int32_t id, bool enable);
    void ShowControl(int32_t id, bool show);
    void SetControlText(int32_t id, const QString& text);
    QString ControlText(int32_t id);
    bool IsChecked(int32_t id);
    // Sets exactly this button; a radio button can also be cleared.
    void SetChecked(int32_t id, bool checked);
    // Selected entry of a drop-down list, -1 for none.
    int Selection(int32_t id);
    void SetSelection(int32_t id, int index);
    bool IsEnabled(int32_t id);
    bool IsShown(int32_t id);
    // The dialog's timer (AUTO_UPDATE_TIMER_ID): start with a period, or stop.
    void SetTimer(int32_t timerId, int32_t milliseconds);
    void KillTimer(int32_t timerId);
    bool IsTimerRunning(int32_t timerId);
    // The modal message box of every operation (see MessageBox.h), or the hook if one is set.
    void ShowMessage(const QString& text);
    using MessageHook = std::function<void(const QString&)>;
    // Routes messages to the hook instead of a box (tests); the hook runs on the user-interface
    // thread. An empty hook restores the box.
    void SetMessageHook(MessageHook hook);

    // ----- Control-state rules --------------------------------------------------------------
    void UpdateControls();

    // Ends the modal run: the dialog first lets go of the link and its workers.
    void done(int result) override;

    // ----- Event handlers (bound by the event table) ----------------------------------------
    void OnConnectButton();
    void OnReadSettings();
    void OnApplySettings();
    void OnStartStop();
    void OnReadCounts();
    void OnAutoUpdate();
    void OnTimer();
    void OnPeriodSelChange();
    // Port arrival or removal; always 0.
    int OnDeviceChange(uint32_t eventType, uint32_t deviceType);
    // WM_COUNT_UPDATE: one stored count into its display.
    void OnCountUpdate(int32_t index);

    // ----- Operations shared by several handlers --------------------------------------------
    void RefreshPortList();
    bool EnumeratePorts();
    void AddPortEntry(const std::string& name, const std::string& path, bool usb);
    // Reads the unit's settings into the held record and the controls; on failure a negative
    // result and the operator's text (empty for the operator's abort).
    int ReadSettings(QString& errorText);
    void ApplySettings();
    // Requests the counts of the counted inputs or encoder pairs; results as ReadSettings.
    int RequestCounts(QString& errorText);
    // Opens the link and brings the unit in: 0, or negative once the failure was shown.
    int ConnectUnit();
    // The busy display in the bottom strip: ProgressBar instead of VersionText, and back.
    void BeginProgress();
    void EndProgress();

    // ----- ExchangeHost ---------------------------------------------------------------------
    std::atomic<int32_t>& CountBusy() override { return CountBusyFlag; }
    std::atomic<int32_t>& AbortRequested() override { return AbortRequestedFlag; }
    void ResetProgress() override;

    // ----- ReplyTarget ----------------------------------------------------------------------
    LinkSession& Link() override { return Session; }
    PulseConfig& HeldConfig() override { return pulseConfig; }
    // Safe from any thread; never blocks.
    void PostCountUpdate(int32_t index) override;
    // The value for LinkSession::userData that makes the dialog the reply target.
    void* ReplyUserData() { return static_cast<ReplyTarget*>(this); }

    // Count notifications handled so far and the index of the last one.
    int32_t CountUpdatesHandled() const { return countUpdatesHandled.load(); }
    int32_t LastCountUpdateIndex() const { return lastCountUpdateIndex.load(); }
    // Worker threads (connection attempt, settings read or write) that have not yet ended.
    int32_t RunningWorkers() const { return runningWorkers.load(); }

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

signals:
    // A port arrived or was removed (eventType DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE,
    // deviceType DBT_DEVTYP_PORT). The port watcher emits it, from any thread.
    void DeviceChange(uint32_t eventType, uint32_t deviceType);

protected:
    // Pre-translation: the count notification, and Return/Enter on the dialog itself.
    bool event(QEvent* event) override;
    // Pre-translation of the controls' keys: Return/Enter never reaches a control.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Settings operations.
    void ReadSettingsThread();
    void ApplySettingsThread();
    bool MaySettingsWorkerStart();
    void LockForSettingsWorker();
    void UnlockAfterSettingsWorker();
    void ShowHeldSettings();
    PulseConfig SettingsFromControls();
    bool EncoderInputsUsable(const PulseConfig& next);
    void HoldAppliedSettings(const PulseConfig& next);
    // Count readout.
    int RequestInputCounts(QString& errorText);
    int RequestPairCounts(QString& errorText);
    bool RequestCount(int32_t index, QString& errorText);
    void StopAutoUpdate();
    // Connection workflow.
    bool TakeRoute();
    bool TakeNode();
    void Disconnect();
    void ConnectWorker();
    bool IdentifyUnit();
    void DropLink(const QString& message);
    void WatchPorts();
    // Worker threads and closing.
    void StartWorker(std::function<void()> body);
    void ReapFinishedWorkers();
    void ShutDown();

    void CreateWindowFromTemplate();
    QWidget* CreateControl(const TemplateEntry& entry);
    void ArrangeTabOrder(const std::vector<QWidget*>& tabStops);
    void ConnectEventTable();
    void OnInitDialog();
    void BindControls();
    void FillComboBoxes();
    void ApplyDisconnectedRules();
    void ApplyConnectedRules();

    template <typename Fn>
    auto OnGuiThread(Fn&& fn);

    LinkSession& Session;
    QTimer AutoUpdateTimer;
    DialogBaseUnits baseUnits{};
    std::unordered_map<int32_t, QWidget*> controlsById;
    std::vector<QWidget*> separators;
    MessageHook messageHook;
    std::atomic<int32_t> countUpdatesHandled{0};
    std::atomic<int32_t> lastCountUpdateIndex{-1};

    // A connection worker was started and has not finished its epilogue.
    std::atomic<bool> connectWorkerActive{false};
    // A settings worker (read or write) runs: no second one, and no start/stop meanwhile.
    std::atomic<bool> settingsWorkerActive{false};
    // Set while the dialog closes: workers finish without message boxes.
    std::atomic<bool> closing{false};
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::vector<Worker> workers;  // user-interface thread only
    std::atomic<int32_t> runningWorkers{0};
    PortWatcher* portWatcher = nullptr;
};
