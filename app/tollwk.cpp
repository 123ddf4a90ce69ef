// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window's controls as the form defines them: kind, text, place, size, font and tab
// order. Places and sizes are in twips, 15 to a pixel at 96 DPI.
#include "tollwk.h"

#include "attention.h"
#include "digitlineedit.h"
#include "filedialog.h"
#include "intervaltimer.h"
#include "keysender.h"
#include "limitedlineedit.h"
#include "listbox.h"
#include "settingsfile.h"
#include "settingssaver.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kClientWidth = 8385;
constexpr int kClientHeight = 2820;
constexpr int kTypedLimit = 2;

struct Twips {
    int dpi;
    int operator()(int twips) const { return (twips * dpi + 720) / 1440; }
    QRect rect(int left, int top, int width, int height) const
    {
        return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
    }
};

QFont gothic(qreal points)
{
    // The form's face does not exist on Linux; a Japanese Gothic face takes its place.
    QFont font;
    // IPA P Gothic was drawn as its stand-in, with matching widths, and its simple
    // tables keep a few megabytes of font out of memory that Noto's would take.
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("VL PGothic"), QStringLiteral("Sans Serif")});
    font.setPointSizeF(points);
    font.setBold(points > 10);
    return font;
}

template <typename W>
W *place(W *widget, const QString &name, const QRect &geometry, const QString &accessible)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    widget->setAccessibleName(accessible);
    return widget;
}

QPushButton *button(QWidget *parent, const QString &text, const QString &name, const QRect &rect)
{
    auto *b = place(new QPushButton(text, parent), name, rect, text);
    // A focused button is pressed by Enter as well as Space, as users of the desktop the
    // program came from expect; in a plain window Qt's buttons ignore Enter otherwise.
    b->setAutoDefault(true);
    return b;
}

QLabel *label(QWidget *parent, const QString &text, const QString &name, const QRect &rect)
{
    auto *l = place(new QLabel(text, parent), name, rect, text);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// The boxes with a typing limit hold numbers and take plain keys; the sound file boxes keep
// the input method for Japanese folder names.
LimitedLineEdit *textBox(QWidget *parent, int limit, const QString &name, const QRect &rect,
                         const QString &accessible)
{
    LimitedLineEdit *box =
        limit > 0 ? new DigitLineEdit(limit, parent) : new LimitedLineEdit(limit, parent);
    return place(box, name, rect, accessible);
}

// Qt gives a plain top-level QWidget the role of a filler; screen readers look for a frame
// named by its caption.
class WindowAccessible final : public QAccessibleWidget
{
public:
    explicit WindowAccessible(QWidget *window)
        : QAccessibleWidget(window, QAccessible::Window)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        // Qt names a minimized window by its icon text, which this window does not have.
        return t == QAccessible::Name ? widget()->windowTitle() : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *windowAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("tollwk") && object && object->isWidgetType())
        return new WindowAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

tollwk::tollwk(Clock &clock, SoundPlayer &sound, FileDialog &dialog, QString settingsPath,
               QWidget *parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , CommonDialog1(dialog)
    , m_clock(clock)
    , m_sound(sound)
    , m_settingsPath(std::move(settingsPath))
{
    static const bool factoryInstalled = (QAccessible::installFactory(windowAccessible), true);
    Q_UNUSED(factoryInstalled);
    setObjectName(QStringLiteral("tollwk"));
    setWindowTitle(QStringLiteral("Tollwick ver1.0"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/tollwick/icon-16.png"));
    icon.addFile(QStringLiteral(":/tollwick/icon-32.png"));
    setWindowIcon(icon);
    setFont(gothic(9));
    m_keys = new KeySender(this);
    m_attention = new Attention(this);
    Timer1 = new IntervalTimer(this);
    Timer2 = new IntervalTimer(this);
    m_saver = new SettingsSaver(
        m_settingsPath, [this] { return settingsSnapshot(); }, this);
    createControls();
    setUpTabOrder();
    connectHandlers();
    time1[0]->setFocus();
}

tollwk::~tollwk() = default;

void tollwk::createControls()
{
    const Twips tw {logicalDpiX() > 0 ? logicalDpiX() : 96};
    setFixedSize(tw(kClientWidth), tw(kClientHeight)); // a fixed single border

    Frame2 = place(new QGroupBox(QStringLiteral("お知らせ"), this), QStringLiteral("Frame2"),
                   tw.rect(120, 0, 2775, 2775), QStringLiteral("お知らせ"));
    Frame1 = place(new QGroupBox(QStringLiteral("目覚まし"), this), QStringLiteral("Frame1"),
                   tw.rect(3000, 0, 5295, 2775), QStringLiteral("目覚まし"));

    const std::array<QGroupBox *, 2> frames {Frame2, Frame1};
    for (int i = 0; i < 2; ++i) {
        QWidget *f = frames[i];
        auto name = [i](const char *base) {
            return QStringLiteral("%1(%2)").arg(QLatin1String(base)).arg(i);
        };
        sansyou[i] = button(f, QStringLiteral("参照"), name("sansyou"), tw.rect(1560, 0, 495, 255));
        PlaySound[i] =
            button(f, QStringLiteral("再生"), name("PlaySound"), tw.rect(2160, 0, 495, 255));
        Sname[i] = textBox(f, 0, name("Sname"), tw.rect(120, 240, 2535, 270),
                           QStringLiteral("サウンドファイル"));
        List1[i] =
            place(new ListBox(f), name("List1"), tw.rect(120, 600, 1215, 2040), frames[i]->title());
        time1[i] = textBox(f, kTypedLimit, name("time1"), tw.rect(1440, 720, 495, 375),
                           QStringLiteral("時"));
        Label1[i] = label(f, QStringLiteral(":"), name("Label1"), tw.rect(1995, 645, 135, 615));
        time2[i] = textBox(f, kTypedLimit, name("time2"), tw.rect(2160, 720, 495, 375),
                           QStringLiteral("分"));
        btn_tuika[i] =
            button(f, QStringLiteral("追加"), name("btn_tuika"), tw.rect(1440, 1200, 1215, 495));
        BTN_sakujyo[i] =
            button(f, QStringLiteral("削除"), name("BTN_sakujyo"), tw.rect(1440, 1800, 1215, 495));
        usorting[i] =
            button(f, QStringLiteral("昇順"), name("usorting"), tw.rect(1440, 2400, 615, 300));
        dsorting[i] =
            button(f, QStringLiteral("降順"), name("dsorting"), tw.rect(2040, 2400, 615, 300));

        for (QWidget *w : {static_cast<QWidget *>(sansyou[i]), static_cast<QWidget *>(PlaySound[i]),
                           static_cast<QWidget *>(Sname[i])})
            w->setFocusPolicy(Qt::ClickFocus); // reached only with the mouse
        // The boxes carry their panel in their names, so that the two hour boxes can be
        // told apart without seeing the frames; the other pairs keep their visible texts as
        // names and say their panel in the description.
        const QString panel = frames[i]->title();
        for (QWidget *w : {static_cast<QWidget *>(Sname[i]), static_cast<QWidget *>(time1[i]),
                           static_cast<QWidget *>(time2[i])})
            w->setAccessibleName(panel + u' ' + w->accessibleName());
        for (QWidget *w : f->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            w->setAccessibleDescription(panel);
        time1[i]->setFont(gothic(15.75));
        time2[i]->setFont(gothic(15.75));
        Label1[i]->setFont(gothic(21.75));
    }

    Label2 = label(Frame1, QStringLiteral("時間になったら"), QStringLiteral("Label2"),
                   tw.rect(2760, 240, 1335, 375));
    Label4 = label(Frame1, QStringLiteral("秒ごとに"), QStringLiteral("Label4"),
                   tw.rect(3120, 480, 975, 255));
    Label3 = label(Frame1, QStringLiteral("分間鳴らす"), QStringLiteral("Label3"),
                   tw.rect(4200, 480, 975, 375));
    byoukan = textBox(Frame1, kTypedLimit, QStringLiteral("byoukan"), tw.rect(2760, 480, 375, 270),
                      QStringLiteral("秒"));
    hunkan = textBox(Frame1, kTypedLimit, QStringLiteral("hunkan"), tw.rect(3840, 480, 375, 270),
                     QStringLiteral("分間"));
    byoukan->setText(QStringLiteral("5"));
    hunkan->setText(QStringLiteral("3"));
    btn_stop = button(Frame1, QStringLiteral("STOP"), QStringLiteral("btn_stop"),
                      tw.rect(2760, 840, 2415, 1815));
    btn_stop->setFont(gothic(21.75));

    // The labels overlap the boxes beside them; the boxes stay on top.
    for (QLabel *l : {Label2, Label4, Label3, Label1[0], Label1[1]})
        l->lower();
}

void tollwk::setUpTabOrder()
{
    QWidget *const order[] = {
        time1[0],    time2[0],    btn_tuika[0], List1[0],     BTN_sakujyo[0], usorting[0],
        dsorting[0], time1[1],    time2[1],     btn_tuika[1], List1[1],       BTN_sakujyo[1],
        usorting[1], dsorting[1], hunkan,       byoukan,      btn_stop,
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void tollwk::connectHandlers()
{
    for (qint16 i = 0; i < 2; ++i) {
        connect(time1[i], &QLineEdit::textChanged, this, [this, i] { time1_Change(i); });
        connect(time2[i], &QLineEdit::textChanged, this, [this, i] { time2_Change(i); });
        connect(btn_tuika[i], &QPushButton::clicked, this, [this, i] { btn_tuika_Click(i); });
        connect(BTN_sakujyo[i], &QPushButton::clicked, this, [this, i] { BTN_sakujyo_Click(i); });
        connect(usorting[i], &QPushButton::clicked, this, [this, i] { usorting_Click(i); });
        connect(dsorting[i], &QPushButton::clicked, this, [this, i] { dsorting_Click(i); });
        connect(PlaySound[i], &QPushButton::clicked, this, [this, i] { PlaySound_Click(i); });
        connect(sansyou[i], &QPushButton::clicked, this, [this, i] { sansyou_Click(i); });
    }
    connect(byoukan, &QLineEdit::textChanged, this, &tollwk::byoukan_Change);
    connect(hunkan, &QLineEdit::textChanged, this, &tollwk::hunkan_Change);
    connect(btn_stop, &QPushButton::clicked, this, &tollwk::btn_stop_Click);
    connect(Timer1, &IntervalTimer::timeout, this, &tollwk::Timer1_Timer);
    connect(Timer2, &IntervalTimer::timeout, this, &tollwk::Timer2_Timer);
}

void tollwk::closeEvent(QCloseEvent *event)
{
    qint16 cancel = 0;
    Form_Unload(cancel);
    event->accept();
}
