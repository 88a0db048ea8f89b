#include "app/lib/principal.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include "brightness/lum.h"
#include "brightness/sw.h"
#include "config/ui/fichier.h"
#include "journal/ui/journalwindow.h"
#include "link/ui/configuration.h"
#include "link/ui/detect.h"
#include "params/dump24c01.h"
#include "params/paramfiles.h"
#include "ui/windows.h"

namespace veq {

namespace {

enum class State { Offered, NotOffered, Hidden };

struct Entry {
    const char* name;
    const char* caption;
    State state;
    void (Principal::*handler)();
};

struct Menu {
    const char* name;
    const char* caption;
    std::vector<Entry> entries;
};

// The menu bar, in order. Entries that are not offered exist with their action but are switched
// off; hidden entries are both invisible and switched off.
const std::vector<Menu>& menuTable() {
    static const std::vector<Menu> table = {
        {"MENU_FICHIER",
         "&Fichier",
         {{"MENU_NOUVELLE", "&Nouvelle configuration", State::NotOffered,
           &Principal::MENU_NOUVELLE_Click},
          {"MENU_OUVRIR", "&Ouvrir une configuration", State::NotOffered,
           &Principal::MENU_OUVRIR_Click},
          {"MENU_ENREGISTRER", "&Enregistrer une configuration", State::NotOffered,
           &Principal::MENU_ENREGISTRER_Click},
          // The parameter file and the journal, for the parameter window.
          {nullptr, nullptr, State::Offered, nullptr},
          {"MENU_PARAM_OUVRIR", "Ouvrir un &fichier de paramètres...", State::Offered,
           &Principal::MENU_PARAM_OUVRIR_Click},
          {"MENU_PARAM_ENREGISTRER", "Enregistrer les paramètres dans un fichier...",
           State::Offered, &Principal::MENU_PARAM_ENREGISTRER_Click},
          {"MENU_PARAM_COMPARER", "Co&mparer les paramètres avec un fichier...", State::Offered,
           &Principal::MENU_PARAM_COMPARER_Click},
          {"MENU_JOURNAL", "&Journal des opérations...", State::Offered,
           &Principal::MENU_JOURNAL_Click},
          {"MENU_QUITTER", "&Quitter", State::Offered, &Principal::MENU_QUITTER_Click}}},
        {"MENU_CONFIGURER2",
         "&Configuration",
         {{"MENU_CONFIGURER", "Configuration", State::Offered, &Principal::MENU_CONFIGURER_Click},
          {"MENU_DETECT", "Détection port COM", State::Offered, &Principal::MENU_DETECT_Click}}},
        {"MENU_FENETRE",
         "&Fenêtre",
         {{"MENU_PARA", "&Paramètres d'affichage de la cadence.", State::Offered,
           &Principal::MENU_PARA_Click},
          {"MENU_AFF", "&Luminosité", State::NotOffered, &Principal::MENU_AFF_Click},
          {"MENU_MISEALH", "&Lire les microswitches", State::NotOffered,
           &Principal::MENU_MISEALH_Click},
          {"MENU_EVEN", "&Chronomètre", State::Hidden, nullptr},
          {"MENU_LECTURE", "&Lecture de l'heure", State::Hidden, nullptr},
          {"MENU_DERMISEH", "Lecture de la dernière mise à l'heure", State::Hidden, nullptr},
          {"MENU_DCF77", "Moniteur DCF77", State::Hidden, nullptr},
          {"MENU_LUM", "&Luminosité", State::Hidden, &Principal::MENU_LUM_Click},
          {"MENURELAIS1", "Option Relais ", State::Hidden, nullptr},
          {"MENURELAIS2", "Option Record", State::Hidden, nullptr}}},
        {"MENU_Aide_generale",
         "&?",
         {{"MENU_Aide", "Aide", State::Offered, &Principal::MENU_Aide_Click}}},
    };
    return table;
}

// The hidden entries that a port opening switches on again (they stay invisible).
const char* const kReenabledOnOpen[] = {"MENU_EVEN", "MENU_LECTURE", "MENU_LUM", "MENURELAIS1",
                                        "MENURELAIS2"};
const char* const kHiddenEntries[] = {"MENU_EVEN", "MENU_LECTURE", "MENU_DERMISEH", "MENU_DCF77",
                                      "MENU_LUM",  "MENURELAIS1",  "MENURELAIS2"};

}  // namespace

Principal::Principal(WindowContext& context, QWidget* parent)
    : QMainWindow(parent),
      ctx_(context),
      mdi_(new QMdiArea(this)),
      endApplication_([] { QCoreApplication::quit(); }),
      appFolder_(QCoreApplication::applicationDirPath()) {
    setObjectName(QStringLiteral("PRINCIPAL"));
    setWindowTitle(QStringLiteral(" Cadence moyenne sur VEQ."));
    mdi_->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(mdi_);
    ctx_.configuration = [this]() -> ConfigurationWindow& { return configuration(); };
    ctx_.session = [this]() -> LinkSession& { return configuration().session(); };
    fichier_ = std::make_unique<Fichier>(ctx_);
    buildMenus();
}

Principal::~Principal() {
    // The child windows go before the context they refer to.
    const auto subs = mdi_->subWindowList();
    for (QMdiSubWindow* sub : subs) delete sub;
}

void Principal::buildMenus() {
    for (const Menu& m : menuTable()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.caption));
        menu->setObjectName(QLatin1String(m.name));
        menu->menuAction()->setObjectName(QLatin1String(m.name));
        for (const Entry& e : m.entries) {
            if (!e.name) {
                menu->addSeparator();
                continue;
            }
            QAction* a = menu->addAction(QString::fromUtf8(e.caption));
            a->setObjectName(QLatin1String(e.name));
            a->setVisible(e.state != State::Hidden);
            setAvailable(a, e.state == State::Offered);
            if (e.handler) {
                auto handler = e.handler;
                connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
            }
        }
    }
}

QAction* Principal::menuAction(const char* name) const {
    return findChild<QAction*>(QLatin1String(name));
}

// Qt reports an invisible action as disabled whatever it was told; the availability of the hidden
// entries is kept beside it.
void Principal::setAvailable(QAction* a, bool available) {
    a->setProperty("available", available);
    a->setEnabled(available);
}

bool Principal::isAvailable(const char* name) const {
    return menuAction(name)->property("available").toBool();
}

QWidget* Principal::adopt(QWidget* child) {
    QMdiSubWindow* sub = mdi_->addSubWindow(child);
    sub->setObjectName(child->objectName() + QStringLiteral("_frame"));
    sub->setWindowTitle(child->windowTitle());
    fitFrame(child);
    return child;
}

ConfigurationWindow& Principal::configuration() {
    if (!configuration_) {
        configuration_ = new ConfigurationWindow(ctx_);
        adopt(configuration_);
        // Closing the link settings window discards it with its port and flag, as a new
        // configuration does; the next reference creates it afresh.
        frameOf(configuration_)->setAttribute(Qt::WA_DeleteOnClose);
        connect(configuration_, &ConfigurationWindow::portOpened, this, [this] { onPortOpened(); });
    }
    return *configuration_;
}

DetectWindow& Principal::detection() {
    if (!detection_) adopt(detection_ = new DetectWindow(ctx_));
    return *detection_;
}

Dump24c01& Principal::parameters() {
    if (!parameters_) adopt(parameters_ = new Dump24c01(ctx_));
    return *parameters_;
}

LumWindow& Principal::brightness() {
    if (!brightness_) adopt(brightness_ = new LumWindow(ctx_));
    return *brightness_;
}

SwWindow& Principal::microswitches() {
    if (!microswitches_) adopt(microswitches_ = new SwWindow(ctx_));
    return *microswitches_;
}

Fichier& Principal::fichier() {
    return *fichier_;
}

ParamFiles Principal::paramFiles() {
    return ParamFiles(ctx_, parameters());
}

ComparisonWindow& Principal::comparison() {
    if (!comparison_) adopt(comparison_ = new ComparisonWindow);
    return *comparison_;
}

JournalWindow& Principal::journal() {
    if (!journal_) {
        adopt(journal_ = new JournalWindow(ctx_, [this](int from, const QByteArray& bytes) {
                  return parameters().loadBytes(from, bytes);
              }));
        connect(journal_, &JournalWindow::loaded, this, [this] { bringForward(&parameters()); });
    }
    return *journal_;
}

void Principal::MENU_PARAM_OUVRIR_Click() {
    bringForward(&parameters());
    paramFiles().open();
}

void Principal::MENU_PARAM_ENREGISTRER_Click() {
    bringForward(&parameters());
    paramFiles().save();
}

void Principal::MENU_PARAM_COMPARER_Click() {
    bringForward(&parameters());
    const auto found = paramFiles().compare();
    if (!found) return;
    comparison().showDifferences(found->file, found->differences);
    bringForward(&comparison());
}

void Principal::MENU_JOURNAL_Click() {
    bringForward(&parameters());
    journal().refresh();
    bringForward(&journal());
}

void Principal::MDIForm_Load() {
    showMaximized();
    // A window manager maximises the window within its work area, some time after the request.
    // Where none runs, the window keeps the size it was shown with: it then gets the work area.
    const QSize shown = size();
    QTimer::singleShot(kWindowManagerDelayMs, this, [this, shown] {
        QScreen* s = screen();
        if (s && isVisible() && !isMinimized() && size() == shown &&
            geometry() != s->availableGeometry())
            setGeometry(s->availableGeometry());
    });
    showNormalFocused(&configuration());
}

void Principal::onPortOpened() {
    setHiddenEntriesEnabled(false, false);
    bringForward(&parameters());
    setHiddenEntriesEnabled(true, false);
}

void Principal::setHiddenEntriesEnabled(bool mainFive, bool allSeven) {
    for (const char* name : kHiddenEntries) setAvailable(menuAction(name), allSeven);
    if (mainFive) {
        for (const char* name : kReenabledOnOpen) setAvailable(menuAction(name), true);
    }
}

void Principal::MENU_NOUVELLE_Click() {
    if (configuration_) delete frameOf(configuration_);
    showNormalFocused(&configuration());
}

void Principal::MENU_OUVRIR_Click() {
    fichier_->OUVRIR_CONFIGURATION();
}

void Principal::MENU_ENREGISTRER_Click() {
    fichier_->ENREGISTRER_CONFIGURATION();
}

void Principal::MENU_QUITTER_Click() {
    endApplication_();
}

void Principal::closeEvent(QCloseEvent* event) {
    event->accept();
    endApplication_();
}

void Principal::MENU_CONFIGURER_Click() {
    showNormalFocused(&configuration());
}

void Principal::MENU_DETECT_Click() {
    showNormalFocused(&detection());
}

void Principal::MENU_PARA_Click() {
    bringForward(&parameters());
}

void Principal::MENU_AFF_Click() {
    bringForward(&brightness());
}

void Principal::MENU_LUM_Click() {
    MENU_AFF_Click();
}

void Principal::MENU_MISEALH_Click() {
    bringForward(&microswitches());
}

// Where an installation puts the guide, from the folder of the program.
#ifndef VEQ_DOC_FROM_BIN
#define VEQ_DOC_FROM_BIN "../share/doc/veq-cadence"
#endif

void Principal::MENU_Aide_Click() {
    // Each step may fail; the next one runs all the same and nothing is reported.
    QDir::setCurrent(appFolder_);
    QString path = appFolder_ + QStringLiteral("/VEQ_KLD.doc");
    // The application's folder first; an installed guide lives with the documentation.
    const QString installed =
        QDir::cleanPath(appFolder_ + QStringLiteral("/" VEQ_DOC_FROM_BIN "/VEQ_KLD.doc"));
    if (!QFileInfo::exists(path) && QFileInfo::exists(installed)) path = installed;
    ctx_.documents.open(QDir::toNativeSeparators(path));
}

}  // namespace veq
