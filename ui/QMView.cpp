#include "ui/QMView.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSignalBlocker>
#include <algorithm>
#include <tuple>

#include "link/CRadioPort.h"
#include "link/PortMap.h"
#include "link/PortSettingsFile.h"
#include "settings/CodeTables.h"
#include "ui/CFontStatic_src/FontStatic.h"
#include "ui/FormTemplate.h"
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

}  // namespace

CQMView::CQMView(ViewOptions options, QWidget* parent)
    : QWidget(parent),
      m_qtPrompter(this),
      m_prompter(options.prompter ? *options.prompter : static_cast<IPrompter&>(m_qtPrompter)),
      m_form(m_prompter),
      m_table(m_form, m_prompter),
      m_portSettingsPath(options.portSettingsPath.empty() ? PortSettingsPath() : options.portSettingsPath) {
    setObjectName("QMView");
    setFont(FormFont());
    m_base = BaseUnits(font());
    m_formSize = Px(0, 0, form::kFormWidth, form::kFormHeight).size();
    setFixedSize(m_formSize);

    CRadioLink::PortResolver resolve = options.resolver;
    CPortSearch::ProbeList probeList;
    if (!resolve) {
        // The devices are looked at again at every opening and every search,
        // so a cable plugged in after the start is found.
        auto map = std::make_shared<PortMap>(PortMap::FromSystem());
        resolve = [map](int index) {
            map->Refresh();
            return map->DeviceFor(index + 1);
        };
        probeList = [map] {
            map->Refresh();
            return map->PresentNumbers();
        };
    }
    std::unique_ptr<IRadioPort> port = options.makePort ? options.makePort(m_loop) : std::make_unique<CRadioPort>();
    m_link = std::make_unique<CRadioLink>(m_form, m_loop, std::move(port), resolve);
    m_search = std::make_unique<CPortSearch>(m_form, *m_link, m_loop, m_portSettingsPath);
    m_search->SetProbeList(std::move(probeList));
    m_link->SetConfiguredPort(ReadPortSettings(m_portSettingsPath).index);
    m_form.StartUp();

    BuildControls();
    m_form.AddObserver(this);
    qApp->installEventFilter(this);
}

CQMView::~CQMView() {
    qApp->removeEventFilter(this);
    m_form.RemoveObserver(this);
    m_search.reset();
    m_link.reset();
}

QRect CQMView::Px(int x, int y, int w, int h) const {
    auto px = [](int v, int base, int div) { return (v * base + div / 2) / div; };
    const int left = px(x, m_base.width(), 4), top = px(y, m_base.height(), 8);
    return QRect(left, top, px(x + w, m_base.width(), 4) - left, px(y + h, m_base.height(), 8) - top);
}

void CQMView::BuildControls() {
    using namespace form;
    auto rect = [this](const DluRect& r) { return Px(r.x, r.y, r.w, r.h); };
    auto group = [this, &rect](const char* title, const DluRect& r) {
        auto* g = new QGroupBox(QString::fromLatin1(title), this);
        g->setGeometry(rect(r));
        return g;
    };
    // These two frames' own captions lie under the painted titles.
    group("channel status", kChannelGroup)->setTitle(QString());
    group("system option", kSystemGroup)->setTitle(QString());
    m_southAfrica = group("South Africa Setup", kSouthAfricaGroup);
    m_channelEnable = group("Channel Enable/Disable", kChannelEnableGroup);
    group("Band Option", kBandGroup);

    m_titleChannel = new CFontStatic(this);
    m_titleChannel->setGeometry(rect(kChannelTitle));
    m_titleChannel->SetText("Channel Status");
    m_titleSystem = new CFontStatic(this);
    m_titleSystem->setGeometry(rect(kSystemTitle));
    m_titleSystem->SetText("System Option");
    for (CFontStatic* title : {m_titleChannel, m_titleSystem}) title->SetFontStatic("Comic Sans MS", 20, true, QColor(0, 0, 32));

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
    // A label and its drop-down list; the list tells the model of a pick.
    auto list = [this, &rect](const char* caption, const char* name, const DluRect& labelAt, const DluRect& listAt,
                              void (FormModel::*pick)(int)) {
        auto* label = new QLabel(caption, this);
        label->setGeometry(rect(labelAt));
        auto* combo = new CReadOnlyComboBox(this);
        combo->setObjectName(name);
        const QRect r = rect(listAt);
        combo->setGeometry(r.x(), r.y(), r.width(), combo->sizeHint().height());
        connect(combo, &QComboBox::currentIndexChanged, this, [this, pick](int index) {
            if (!m_refreshing) (m_form.*pick)(index);
        });
        return std::make_pair(label, combo);
    };
    std::tie(m_emgLabel, m_cbEmgChannel) = list("Emg Channel", "EmgChannel", kEmgLabel, kEmgList, &FormModel::SelectEmgItem);
    m_cbModeSelect = list("Mode Select", "ModeSelect", kModeLabel, kModeList, &FormModel::OnModeSelect).second;

    m_status = new CFontStatic(this);
    m_status->setObjectName("StatusLine");
    m_status->setGeometry(rect(kStatusLine));
    m_status->SetFontStatic("Comic Sans MS", 18, true, Qt::black);
    m_progress = new QProgressBar(this);
    m_progress->setGeometry(rect(kProgress));
    m_progress->setRange(0, kChannelCount);
    m_progress->setTextVisible(false);
    OnFormChanged(kChangeAll & ~kChangeCells);
}

void CQMView::RefreshBandSection() {
    QStringList plans;
    for (const auto name : BAND_PLAN_NAMES) plans << QString::fromLatin1(name.data(), static_cast<int>(name.size()));
    m_cbModeSelect->SetItemsQuietly(plans, m_form.ModeSelection());
    m_cbModeSelect->setEnabled(m_form.BandListEnabled());
    const bool sa = m_form.SouthAfricaSetupEnabled();
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
        for (int n = 1; n <= kChannelEnableCount; ++n) m_boxes[n - 1]->setChecked(m_form.ChannelFlag(n));
    if (changes & kChangeEmgList) RefreshEmgList();
    if (changes & kChangeStatus) {
        m_status->SetText(QString::fromStdString(m_form.StatusText()));
        m_status->repaint();
        emit portPaneChanged(QString::fromStdString(m_form.PortPaneText()));
    }
    if (changes & kChangeProgress) m_progress->setValue(m_form.Progress());
    if (changes & kChangeCaption) emit captionChanged(QString::fromStdString(m_form.Caption()));
    m_refreshing = false;
}

bool CQMView::eventFilter(QObject* watched, QEvent* e) {
    // Any key stops a running search, wherever the focus is. A key the
    // focused widget ignores comes past here again for each parent, and a
    // stop that waits for a probe's pause leaves the search active until
    // then: one key must still mean one stop.
    if (e->type() == QEvent::KeyPress && m_search && m_search->Active() && !m_bStopQueued) {
        m_bStopQueued = true;
        m_search->OnAutoStop();
        m_link->WhenIdle([this] { m_bStopQueued = false; });
    }
    return QWidget::eventFilter(watched, e);
}

void CQMView::keyPressEvent(QKeyEvent* e) {
    if (m_form.IsTableLocked()) return;  // no input to the form while a transfer runs
    QWidget::keyPressEvent(e);
}

void CQMView::mouseReleaseEvent(QMouseEvent* e) {
    if (m_form.IsTableLocked()) return;
    QWidget::mouseReleaseEvent(e);
}

}  // namespace orvex
