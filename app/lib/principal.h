#pragma once

#include <functional>
#include <memory>

#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>

#include "ui/context.h"

class QAction;

namespace veq {

class ConfigurationWindow;
class DetectWindow;
class Dump24c01;
class LumWindow;
class SwWindow;
class Fichier;
class ParamFiles;
class ComparisonWindow;
class JournalWindow;

// The main window: a multiple-document frame whose menus lead to every other window.
class Principal : public QMainWindow {
    Q_OBJECT
  public:
    // How long a window manager may take to maximise the window.
    static constexpr int kWindowManagerDelayMs = 500;

    // `context` is completed here: its session and its way to the link settings window are this
    // window's.
    explicit Principal(WindowContext& context, QWidget* parent = nullptr);
    ~Principal() override;

    // Called to end the application (QCoreApplication::quit by default).
    void setEndApplication(std::function<void()> end) { endApplication_ = std::move(end); }
    // The folder of the help document (the application's folder by default).
    void setApplicationFolder(const QString& folder) { appFolder_ = folder; }

    // Each child window exists once; these create it the first time (hidden) and return it.
    ConfigurationWindow& configuration();
    DetectWindow& detection();
    Dump24c01& parameters();
    LumWindow& brightness();
    SwWindow& microswitches();
    Fichier& fichier();
    // The parameter file operations on the parameter window, and the windows they show.
    ParamFiles paramFiles();
    ComparisonWindow& comparison();
    JournalWindow& journal();

    QMdiArea* mdiArea() const { return mdi_; }
    QAction* menuAction(const char* name) const;
    // Whether a menu entry can be chosen once visible (hidden entries keep this too).
    bool isAvailable(const char* name) const;

    void MDIForm_Load();
    void MENU_NOUVELLE_Click();
    void MENU_OUVRIR_Click();
    void MENU_ENREGISTRER_Click();
    void MENU_PARAM_OUVRIR_Click();
    void MENU_PARAM_ENREGISTRER_Click();
    void MENU_PARAM_COMPARER_Click();
    void MENU_JOURNAL_Click();
    void MENU_QUITTER_Click();
    void MENU_CONFIGURER_Click();
    void MENU_DETECT_Click();
    void MENU_PARA_Click();
    void MENU_AFF_Click();
    void MENU_LUM_Click();
    void MENU_MISEALH_Click();
    void MENU_Aide_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildMenus();
    QWidget* adopt(QWidget* child);
    void onPortOpened();
    void setHiddenEntriesEnabled(bool mainFive, bool allSeven);
    static void setAvailable(QAction* a, bool available);

    WindowContext& ctx_;
    QMdiArea* mdi_;
    QPointer<ConfigurationWindow> configuration_;
    QPointer<DetectWindow> detection_;
    QPointer<Dump24c01> parameters_;
    QPointer<LumWindow> brightness_;
    QPointer<SwWindow> microswitches_;
    std::unique_ptr<Fichier> fichier_;
    QPointer<ComparisonWindow> comparison_;
    QPointer<JournalWindow> journal_;
    std::function<void()> endApplication_;
    QString appFolder_;
};

}  // namespace veq
