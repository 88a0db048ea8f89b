#include "app/lib/splash.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <utility>

#include "ui/twips.h"
#include "ui/windows.h"

// The picture is compiled into this library; a static library has to ask for it by name.
static void initSplashResources() {
    Q_INIT_RESOURCE(splash);
}

namespace veq {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kDarkBlue(0, 0, 192);

const char* const kContactText =
    "Adresse postale : 12 rue des Ateliers, 00000 Ville\n"
    "Téléphone : 00 00 00 00 00\n"
    "Registre du commerce : 000 000 000\n"
    "Site : www.example.org\n"
    "Courriel : contact@example.org";

// The red outline around the elements. Clicks go through it to the window's background.
class Outline : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(kRed, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

void setTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

}  // namespace

QString versionLine(int major, int minor, int patch) {
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(patch);
}

SplashWindow::SplashWindow(std::function<void()> showMain, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), showMain_(std::move(showMain)) {
    initSplashResources();
    setObjectName(QStringLiteral("ZUK_ND_SPLASH"));
    setWindowTitle(QString());
    useWindowFont(this);
    setBackground(this, kWhite);
    resize(px(9150), px(4245));
    setFocusPolicy(Qt::StrongFocus);

    Shape1 = new Outline(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);
    placeTwips(Shape1, 75, 75, 9015, 4080);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("Image de présentation"));
    Picture1->setPixmap(QPixmap(QStringLiteral(":/splash/splash.png")));
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackground(Picture1, kWhite);
    placeTwips(Picture1, 120, 120, 8895, 1725);

    Text1 = new QTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Coordonnées"));
    Text1->setReadOnly(true);
    Text1->setPlainText(QString::fromUtf8(kContactText));
    setTextColour(Text1, kDarkBlue);
    Text1->selectAll();
    Text1->setAlignment(Qt::AlignHCenter);
    Text1->moveCursor(QTextCursor::Start);
    placeTwips(Text1, 120, 1800, 8895, 1695);

    Label1 = new QLabel(QStringLiteral("VEQ_Cadence"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    setBackground(Label1, kWhite);
    setTextColour(Label1, kRed);
    Label1->setFont(comicFont(12, true));
    placeTwips(Label1, 120, 3480, 8895, 375);

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignCenter);
    setBackground(lblVersion, kWhite);
    placeTwips(lblVersion, 120, 3840, 8895, 255);
    lblVersion->setText(versionLine(VEQ_VERSION_MAJOR, VEQ_VERSION_MINOR, VEQ_VERSION_PATCH));

    // A key press closes the splash whichever element has the focus; a click does on the
    // elements only, not on the bare background.
    watch(this);
    for (QObject* o : {static_cast<QObject*>(Picture1), static_cast<QObject*>(Text1),
                       static_cast<QObject*>(Text1->viewport()), static_cast<QObject*>(Label1),
                       static_cast<QObject*>(lblVersion)})
        watch(o);

    // Centred on the screen.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kDelayMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer1->start();
}

void SplashWindow::watch(QObject* o) {
    o->installEventFilter(this);
}

bool SplashWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            unloadAndShowMain();
            return true;
        case QEvent::MouseButtonPress:
            if (watched != this) {
                unloadAndShowMain();
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void SplashWindow::closeEvent(QCloseEvent* event) {
    // Closed from outside (the desktop's close shortcut): the main window still comes.
    event->accept();
    unloadAndShowMain();
}

void SplashWindow::unloadAndShowMain() {
    if (unloaded_) return;
    unloaded_ = true;
    Timer1->stop();
    // Hidden rather than closed: the application must not take the splash for its last window
    // before the main window is shown.
    hide();
    if (auto show = std::exchange(showMain_, nullptr)) show();
}

}  // namespace veq
