// FormMain: ports, connecting, the link watchdog, the receive path and the senders'
// common machinery.
#include "formmain.h"

#include "link/field_text.h"
#include "link/frame.h"
#include "link/serial_link.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>

namespace halvo::app {

using link::PortCatalogue;

QString FormMain::comPortText() const
{
    return Combo_Com_Port->currentIndex() < 0 ? QStringLiteral("Select Com Port")
                                              : Combo_Com_Port->currentText();
}

bool FormMain::isConnectedShown() const
{
    return !TextConnected->isHidden();
}

void FormMain::showConnected(bool connected)
{
    TextConnected->setVisible(connected);
    TextDisConnected->setVisible(!connected);
}

// Lists the ports that can be opened; nothing is sent and nothing is listened for.
void FormMain::Build_Port_Table()
{
    Combo_Com_Port->clear();
    m_catalogue.refresh();
    for (const link::PortEntry &e : m_catalogue.openable()) {
        Combo_Com_Port->addItem(PortCatalogue::Port_Entry_Text(e.number), e.number);
        Combo_Com_Port->setItemData(Combo_Com_Port->count() - 1, PortCatalogue::Port_Details(e),
                                    Qt::ToolTipRole);
    }
    if (Combo_Com_Port->count() > 0)
        Combo_Com_Port->setCurrentIndex(0);
}

void FormMain::CommandRescanPorts_Click()
{
    Scan_For_Units();
}

// Opens each port in turn and listens for the unit's banner; the unit announces
// itself, so nothing is sent.
void FormMain::Scan_For_Units()
{
    if (m_scanning)
        return; // one scan at a time; a second click while listening does nothing
    m_scanning = true;
    Combo_Com_Port->clear();
    tell(Msg::Scanning);
    m_receiveErrorLatch = false;
    m_catalogue.refresh();
    const QList<link::PortEntry> entries = m_catalogue.entries();
    for (const link::PortEntry &e : entries) {
        if (m_closing)
            break;
        showConnected(false);
        m_linkWatchdog = 0;
        MSComm1->close();
        if (!MSComm1->open(e.path))
            continue;
        MSComm1->clearInput();
        m_linkLostTold = false;
        m_unitId.clear();
        Pause(m_timing.scanListen);
        if (m_closing)
            break;
        Combo_Com_Port->addItem(PortCatalogue::Port_Entry_Text(e.number, m_unitId), e.number);
        Combo_Com_Port->setItemData(Combo_Com_Port->count() - 1, e.path, Qt::ToolTipRole);
        MSComm1->close();
    }
    if (Combo_Com_Port->count() > 0)
        Combo_Com_Port->setCurrentIndex(0);
    m_scanning = false;
}

QString FormMain::portOpenFailureText(const QString &path, link::SerialLink::OpenError error) const
{
    if (error == link::SerialLink::OpenError::Permission)
        return link::Permission_Message(path, link::Device_Group(path));
    return Msg::CommError;
}

void FormMain::Cmd_ComPort_Click()
{
    bool ok = false;
    const int number = PortCatalogue::Port_Number_From_Entry(comPortText(), &ok);
    if (!ok) {
        tell(Msg::CommError); // nothing has happened yet; an open port stays open
        return;
    }
    m_selectedPort = number;
    if (MSComm1->isOpen())
        MSComm1->close();
    if (number <= 0)
        return;
    const link::PortEntry *entry = m_catalogue.find(number);
    if (!entry) {
        tell(Msg::CommError);
        return;
    }
    link::SerialLink::OpenError error = link::SerialLink::OpenError::None;
    if (!MSComm1->open(entry->path, &error)) {
        tell(portOpenFailureText(entry->path, error));
        return;
    }
    MSComm1->clearInput(); // bytes left from before are dropped
    m_linkLostTold = false;
    showConnected(true);
    m_linkWatchdog = 0;
}

void FormMain::TimerDisconnect_Timer()
{
    ++m_linkWatchdog;
    if (m_linkWatchdog > 20) {
        showConnected(false);
        m_linkWatchdog = 0;
    }
}

void FormMain::onLinkLost(const QString &reason)
{
    Q_UNUSED(reason);
    if (m_closing)
        return;
    showConnected(false);
    m_linkWatchdog = 0;
    m_logger.Stop(); // a paced log read cannot go on without the unit
    if (m_linkLostTold)
        return;
    m_linkLostTold = true;
    // Told from the event loop, not from inside the port's error signal.
    QTimer::singleShot(0, this, [this] { tell(Msg::CommError); });
}

// One receive event: takes every waiting byte. Messages are shown only after the
// bytes in hand are processed; while one shows, further receive events wait and
// their bytes are picked up when it closes, so the buffers are never shared by two
// events at once.
void FormMain::MSComm1_OnComm()
{
    if (m_inReceive)
        return;
    m_inReceive = true;
    QStringList messages;
    while (!m_closing && MSComm1->bytesWaiting() > 0) {
        m_rx.push(MSComm1->readAll());
        bool failed = false;
        while (auto item = m_rx.next()) {
            using Kind = link::ReceiveItem::Kind;
            switch (item->kind) {
            case Kind::Reply:
                failed = link::Decode_Reply(item->data, *this) == link::RouteResult::Failed;
                break;
            case Kind::TerminatorError:
                messages << Msg::TerminatorError;
                break;
            case Kind::Identification:
                showConnected(true);
                m_linkWatchdog = 0;
                m_unitId = QString::fromLatin1(item->unitId);
                break;
            case Kind::EventLine:
                m_linkWatchdog = 0;
                ListRawSerialData->addItem(link::From_Single_Byte(item->data));
                storeEventLine(item->data, messages);
                m_logger.Line_Received();
                break;
            case Kind::Overflow:
                failed = true;
                break;
            }
            if (failed)
                break;
        }
        if (failed) {
            m_rx.discardPending();
            if (!m_receiveErrorLatch) {
                m_receiveErrorLatch = true;
                messages << Msg::CommError;
            }
        } else {
            m_receiveErrorLatch = false;
        }
        for (const QString &m : messages)
            tell(m);
        messages.clear();
    }
    m_inReceive = false;
}

bool FormMain::Ensure_Port_Open()
{
    if (MSComm1->isOpen())
        return true;
    if (m_closing || !m_dialogs->question(Msg::OpenPortQuestion))
        return false;
    Cmd_ComPort_Click();
    return MSComm1->isOpen();
}

// A sender that failed tells the operator, unless the failure is the broken link
// the operator has just been told about.
void FormMain::reportSendFailure()
{
    if (!(m_linkLostTold && !MSComm1->isOpen()))
        tell(Msg::CommError);
}

bool FormMain::Write_Frame(const QByteArray &frame)
{
    return !frame.isEmpty() && MSComm1->write(frame);
}

// The unit takes a multi-frame store without answering; the pause between frames is
// its only pacing. The window stays live and the thread sleeps meanwhile.
bool FormMain::storeCanStart()
{
    if (!MSComm1->isOpen()) {
        if (!m_storing)
            FrameSavingData->hide();
        return false; // the store button has asked already: nothing is sent, nothing said
    }
    return !m_storing; // a second store would interleave its frames with the first's
}

FormMain::StoreOutcome FormMain::Paced_Store(int count, double pauseSeconds,
                                             const std::function<std::optional<QByteArray>(int)> &frameAt)
{
    if (m_storing)
        return StoreOutcome::Ignored;
    m_storing = true;
    ProgressBarSavingData->setRange(0, count);
    ProgressBarSavingData->setValue(0);
    FrameSavingData->show();
    StoreOutcome outcome = StoreOutcome::Done;
    for (int i = 0; i < count && !m_closing; ++i) {
        ProgressBarSavingData->setValue(i);
        const auto frame = frameAt(i);
        if (!frame || !Write_Frame(*frame)) {
            outcome = StoreOutcome::Failed;
            break;
        }
        Pause(pauseSeconds);
    }
    FrameSavingData->hide();
    m_storing = false;
    return outcome;
}

} // namespace halvo::app
