#include "ui/QMView.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QSignalBlocker>
#include <algorithm>
#include <tuple>

#include "link/CRadioPort.h"
#include "link/DeviceInfo.h"
#include "link/DeviceIdentity.h"
#include "link/PortMap.h"
#include "link/PortSettingsFile.h"
#include "link/SerialDevices.h"
#include "settings/CodeTables.h"
#include "ui/CFontStatic_src/FontStatic.h"
#include "ui/FormTemplate.h"
#ifdef _WIN32
#include "ui/Win32DeviceEvents.h"
#else
#include "ui/UdevDeviceEvents.h"
#endif
#include "ui/model/RecoveryFile.h"
#include "ui/model/RecoveryTexts.h"
#include "ui/readonlycombo_src/ReadOnlyComboBox.h"

namespace orvex {
namespace {

// The template's font; a system without it gets the nearest sans face. The
// table and the lists show the desktop's fonts, so the form is laid out at
// their size when that is larger than the template's 8 pt: dialog units
// then grow with it, and every control keeps the room it was drawn with.
QFont FormFont() {
    QFont f("Microsoft Sans Serif");
    if (!QFontDatabase::families().contains("Microsoft Sans Serif"))
        f.setFamilies({"Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"});
    f.setStyleHint(QFont::SansSerif);
    qreal points = 8;
    for (const QFont& desktop : {QApplication::font(), QApplication::font("QMessageBox"), QApplication::font("QComboBox")})
        points = std::max(points, QFontInfo(desktop).pointSizeF());
    f.setPointSizeF(points);
    return f;
}

// Dialog base units: average character width and the font's height.
QSize BaseUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(fm.horizontalAdvance(sample) / 26 + 1) / 2, fm.height()};
}

// Each window of a process keeps its own recovery file: the process's name
// alone would let a second window take the first one's file for its own.
RecoverySession SessionOfThisWindow() {
    static int windows = 0;
    RecoverySession session = RecoverySession::ForThisProcess();
    if (++windows > 1)
        session.fileName.insert(session.fileName.size() - recovery::kFileExtension.size(),
                                "-" + std::to_string(windows));
    return session;
}

// The recent-file list in the platform's settings store. A path that is not
// UTF-8 is kept as its bytes, so it still names the file when read back.
class SettingsRecentFilesStore final : public IRecentFilesStore {
public:
    explicit SettingsRecentFilesStore(const std::string& path) : m_path(QString::fromStdString(path)) {}

    std::vector<std::string> Load() const override {
        const std::unique_ptr<QSettings> s = Open();
        std::vector<std::string> paths;
        const int n = s->beginReadArray(kGroup);
        for (int i = 0; i < n; ++i) {
            s->setArrayIndex(i);
            const QVariant v = s->value(kKey);
            const QByteArray bytes = v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8();
            paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
        s->endArray();
        return paths;
    }

    std::string Store(const std::vector<std::string>& paths) override {
        const std::unique_ptr<QSettings> s = Open();
        s->remove(kGroup);
        s->beginWriteArray(kGroup, static_cast<int>(paths.size()));
        for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
            s->setArrayIndex(i);
            const QByteArray bytes = QByteArray::fromStdString(paths[i]);
            const QString text = QString::fromUtf8(bytes);
            s->setValue(kKey, text.toUtf8() == bytes ? QVariant(text) : QVariant(bytes));
        }
        s->endArray();
        s->sync();
        if (s->status() == QSettings::NoError) return {};
        return s->fileName().toStdString() +
               (s->status() == QSettings::AccessError ? ": cannot be written" : ": is not a settings file");
    }

private:
    static constexpr const char* kGroup = "RecentFiles";
    static constexpr const char* kKey = "path";

    std::unique_ptr<QSettings> Open() const {
        if (m_path.isEmpty()) return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "ORVEX", "ORVEX");
        return std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    }

    QString m_path;
};

}  // namespace

CQMView::CQMView(ViewOptions options, QWidget* parent)
    : QWidget(parent),
      m_qtPrompter(this),
      m_prompter(options.prompter ? *options.prompter : static_cast<IPrompter&>(m_qtPrompter)),
      m_form(m_prompter),
      m_loop(options.virtualTime ? QtEventLoop::Time::Virtual : QtEventLoop::Time::Real),
      m_table(m_form, m_prompter),
      m_recentStore(std::make_unique<SettingsRecentFilesStore>(options.settingsPath)) {
    setObjectName("QMView");
    setFont(FormFont());
    m_base = BaseUnits(font());
    m_formSize = Px(0, 0, form::kFormWidth, form::kFormHeight).size();
    setFixedSize(m_formSize);

    SessionOptions session;
    session.prompter = &m_prompter;
    session.loop = &m_loop;
    session.makePort = options.makePort ? std::move(options.makePort) : [](IEventLoop&) -> std::unique_ptr<IRadioPort> {
        return std::make_unique<CRadioPort>("pick the cable's port in " + std::string(viewtexts::kPortsListedAt));
    };
    session.resolver = options.resolver;
    session.portPicking = {"Plug the cable in, then pick its port in " + std::string(viewtexts::kPortsListedAt) + ".",
                           std::string(viewtexts::kPortsListedAt)};
    if (!options.portSettingsPath.empty())
        session.portSettings = PortSettingsPlaces(options.portSettingsPath, options.portSettingsFallback);
    session.scanDevices = options.scanDevices;
    if (!options.systemRoot.empty()) session.systemRoot = options.systemRoot;
    session.deviceInfo = std::move(options.deviceInfo);
    session.deviceEvents = options.deviceEvents;
    if (!session.deviceEvents && !options.resolver && !options.scanDevices) {
        // Without the system's news (no udev in a container, no window for
        // it) the window works the same; only the news of plugged cables
        // waits for the next opening.
#ifdef _WIN32
        auto* system = new Win32DeviceEvents(this);
#else
        auto* system = new UdevDeviceEvents(this);
#endif
        if (system->Start()) session.deviceEvents = system;
        else delete system;
    }
    session.folders = options.folders ? options.folders : &m_systemFolders;
    session.recovery = SessionOfThisWindow();
    m_form.StartUp();
    m_session = std::make_unique<RadioSession>(m_form, std::move(session));
    m_session->SetEditEnder([this] {
        if (CGridCtrl* grid = m_table.Grid()) grid->EndEditing();
    });
    if (RecoveryKeeper* keeper = m_session->Keeper())
        keeper->SetPendingListener([this] { emit recoveryPendingChanged(RecoveryPending()); });

    BuildControls();
    m_form.AddObserver(this);
    qApp->installEventFilter(this);
}

CQMView::~CQMView() {
    if (m_session->CheckRunning()) QApplication::restoreOverrideCursor();  // its findings have no window to go to
    qApp->removeEventFilter(this);
    m_form.RemoveObserver(this);
    m_session.reset();
}

bool CQMView::RecoveryPending() const {
    // The keeper may still speak while the session goes.
    const RecoveryKeeper* keeper = m_session ? m_session->Keeper() : nullptr;
    return keeper && keeper->Pending().has_value();
}

std::string CQMView::RecoveryFilePath() const {
    const RecoveryKeeper* keeper = m_session ? m_session->Keeper() : nullptr;
    return keeper ? keeper->FilePath() : std::string();
}

QRect CQMView::Px(int x, int y, int w, int h) const {
    auto px = [](int v, int base, int div) { return (v * base + div / 2) / div; };
    const int left = px(x, m_base.width(), 4), top = px(y, m_base.height(), 8);
    return QRect(left, top, px(x + w, m_base.width(), 4) - left, px(y + h, m_base.height(), 8) - top);
}

QRect CQMView::Px(const form::DluRect& r) const {
    return Px(r.x, r.y, r.w, r.h);
}

void CQMView::SetTabOrder() {
    Grid()->setAccessibleName(form::kChannelTitleText);  // the table is the frame's content
    // The table, then the band plan section in reading order.
    QWidget* previous = Grid();
    auto next = [&previous](QWidget* w) {
        setTabOrder(previous, w);
        previous = w;
    };
    for (QCheckBox* box : m_boxes) next(box);
    next(m_cbEmgChannel);
    next(m_cbModeSelect);
}

void CQMView::BuildFrames() {
    using namespace form;
    auto group = [this](const char* title, const DluRect& r) {
        auto* g = new QGroupBox(QString::fromLatin1(title), this);
        g->setGeometry(Px(r));
        return g;
    };
    // These two frames' own captions lie under the painted titles, which
    // name them for a screen reader.
    for (const auto& [caption, at, title] : {std::tuple{"channel status", kChannelGroup, kChannelTitleText},
                                             std::tuple{"system option", kSystemGroup, kSystemTitleText}}) {
        QGroupBox* frame = group(caption, at);
        frame->setTitle(QString());
        frame->setAccessibleName(title);
    }
    m_southAfrica = group("South Africa Setup", kSouthAfricaGroup);
    m_channelEnable = group("Channel Enable/Disable", kChannelEnableGroup);
    group("Band Option", kBandGroup);

    m_titleChannel = new CFontStatic(this);
    m_titleChannel->setGeometry(Px(kChannelTitle));
    m_titleChannel->SetText(kChannelTitleText);
    m_titleSystem = new CFontStatic(this);
    m_titleSystem->setGeometry(Px(kSystemTitle));
    m_titleSystem->SetText(kSystemTitleText);
    for (CFontStatic* title : {m_titleChannel, m_titleSystem})
        title->SetFontStatic("Comic Sans MS", 20, true, QColor(0, 0, 32));
}

void CQMView::BuildChannelBoxes() {
    using namespace form;
    for (int n = 1; n <= kChannelEnableCount; ++n) {
        const int col = (n - 1) / 5, row = (n - 1) % 5;
        auto* box = new QCheckBox(QString::fromLatin1(ChannelCaption(n).data(), 5), this);
        box->setObjectName(QStringLiteral("CH%1").arg(n, 2, 10, QLatin1Char('0')));
        const int y = col < 2 ? kBoxRowY[row] : kBoxRowYRight[row];
        box->setGeometry(Px(kBoxColumnX[col], y, n == 11 ? 34 : kBoxWidth, kBoxHeight));
        connect(box, &QCheckBox::clicked, this, [this, n] {
            if (!m_refreshing) m_form.ClickChannelBox(n);
        });
        m_boxes[n - 1] = box;
    }
}

void CQMView::BuildLists() {
    using namespace form;
    // A label and its drop-down list; the list tells the model of a pick.
    auto list = [this](const char* caption, const char* name, const DluRect& labelAt, const DluRect& listAt,
                       void (FormModel::*pick)(int)) {
        auto* label = new QLabel(caption, this);
        label->setGeometry(Px(labelAt));
        auto* combo = new CReadOnlyComboBox(this);
        combo->setObjectName(name);
        label->setBuddy(combo);  // names the list for a screen reader
        const QRect r = Px(listAt);
        combo->setGeometry(r.x(), r.y(), r.width(), combo->sizeHint().height());
        connect(combo, &QComboBox::currentIndexChanged, this, [this, pick](int index) {
            if (!m_refreshing) (m_form.*pick)(index);
        });
        return std::make_pair(label, combo);
    };
    std::tie(m_emgLabel, m_cbEmgChannel) =
        list("Emg Channel", "EmgChannel", kEmgLabel, kEmgList, &FormModel::SelectEmgItem);
    m_cbModeSelect = list("Mode Select", "ModeSelect", kModeLabel, kModeList, &FormModel::OnModeSelect).second;
}

void CQMView::BuildControls() {
    // Made in this order: it is the order the widgets stack in.
    BuildFrames();
    BuildChannelBoxes();
    BuildLists();

    m_status = new CFontStatic(this);
    m_status->setObjectName("StatusLine");
    m_status->setGeometry(Px(form::kStatusLine));
    m_status->SetFontStatic("Comic Sans MS", 18, true, Qt::black);
    m_progress = new QProgressBar(this);
    m_progress->setGeometry(Px(form::kProgress));
    m_progress->setRange(0, kChannelCount);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(form::kProgressName);
    OnFormChanged(kChangeAll & ~kChangeCells);
}

void CQMView::RefreshBandSection() {
    QStringList plans;
    for (const auto name : BAND_PLAN_NAMES) plans << QString::fromLatin1(name.data(), static_cast<int>(name.size()));
    m_cbModeSelect->SetItemsQuietly(plans, m_form.ModeSelection());
    m_cbModeSelect->setEnabled(m_form.View().BandListEnabled());
    const bool sa = m_form.View().SouthAfricaSetupEnabled();
    for (QWidget* w : std::initializer_list<QWidget*>{m_southAfrica, m_channelEnable, m_emgLabel, m_cbEmgChannel})
        w->setEnabled(sa);
    for (QCheckBox* box : m_boxes) box->setEnabled(sa);
}

void CQMView::RefreshEmgList() {
    QStringList items;
    for (const std::string& item : m_form.EmgList().Items()) items << QString::fromStdString(item);
    m_cbEmgChannel->SetItemsQuietly(items, m_form.EmgList().Selection());
}

void CQMView::OnFormChanged(unsigned changes) {
    m_refreshing = true;
    m_table.OnModelChanged(changes);
    if (changes & kChangeBandSection) RefreshBandSection();
    if (changes & kChangeChannelFlags)
        for (int n = 1; n <= kChannelEnableCount; ++n) m_boxes[n - 1]->setChecked(ChannelFlag(m_form, n));
    if (changes & kChangeEmgList) RefreshEmgList();
    if (changes & kChangeStatus) {
        m_status->SetText(QString::fromStdString(m_form.View().StatusText()));
        m_status->repaint();
        emit portPaneChanged(QString::fromStdString(m_form.View().PortPaneText()));
    }
    if (changes & kChangeProgress) m_progress->setValue(m_form.View().Progress());
    if (changes & kChangeCaption) emit captionChanged(QString::fromStdString(m_form.Caption()));
    m_refreshing = false;
    if (changes & (kChangeHistory | kChangeTableLock)) emit undoStateChanged();
}

bool CQMView::eventFilter(QObject* watched, QEvent* e) {
    // Any key stops a running search, wherever the focus is.
    if (e->type() == QEvent::KeyPress) m_session->OnAnyKey();
    if (IsInputDuringVerify(watched, e)) return true;
    return QWidget::eventFilter(watched, e);
}

bool CQMView::IsInputDuringVerify(QObject* watched, QEvent* e) const {
    // The table is unlocked in the pauses between Write and Verify's steps;
    // an edit there would be written unasked, or compared with what the
    // radio gives back as if it had been written.
    if (!VerifyRunning()) return false;
    switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel: break;
        default: return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && (widget == this || isAncestorOf(widget));
}

void CQMView::keyPressEvent(QKeyEvent* e) {
    if (m_form.View().IsTableLocked()) return;  // no input to the form while a transfer runs
    QWidget::keyPressEvent(e);
}

void CQMView::mouseReleaseEvent(QMouseEvent* e) {
    if (m_form.View().IsTableLocked()) return;
    QWidget::mouseReleaseEvent(e);
}

}  // namespace orvex
