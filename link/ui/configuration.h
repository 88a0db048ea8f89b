#pragma once

#include <memory>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "link/session.h"
#include "ui/context.h"

namespace veq {

// The link settings window: shows and edits the link session, which owns the eight link settings,
// the one serial port of the system and the port-open flag. The session goes with the window:
// unloading it releases the port.
class ConfigurationWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kListCount = 8;

    explicit ConfigurationWindow(WindowContext& ctx, QWidget* parent = nullptr);
    ~ConfigurationWindow() override;

    LinkSession& session() { return session_; }

    // The session's port and flag under the names the windows have always known them by.
    SerialPort& MSComm1() { return session_.port(); }
    QString portFlag() const { return linktext::flag(session_.flag()); }
    void setPortFlag(const QString& flag) { session_.setFlag(linktext::flagFrom(flag)); }
    // Selected text of SEL_REP.
    QString responseControl() const { return SEL_REP->currentText(); }

    // Opens the port chosen in SEL_COM.
    void OUVERTURE_DU_COM();
    // The port number, "1" to "12", of the selected SEL_COM item ("1" when none matches).
    QString portNumberText() const;

    // The eight lists in the order of the configuration file: SEL_COM, SEL_INTER, SEL_NBR_DIGI,
    // SEL_COUL, SEL_DCF77, SEL_REL1, SEL_REL2, SEL_REP.
    QComboBox* list(int k) const { return lists_[k]; }
    QPushButton* validateButton() const { return BOUTON_VALIDE; }

  signals:
    // A port has just been opened by the validation; the parameter window is to be shown.
    void portOpened();

  private:
    void Form_Load();
    void BOUTON_VALIDE_Click() { OUVERTURE_DU_COM(); }
    // The lists' choices into the session's values.
    void takeValues();

    WindowContext& ctx_;
    LinkSession session_;

    QComboBox* SEL_COM;
    QComboBox* SEL_INTER;
    QComboBox* SEL_NBR_DIGI;
    QComboBox* SEL_COUL;
    QComboBox* SEL_DCF77;
    QComboBox* SEL_REL1;
    QComboBox* SEL_REL2;
    QComboBox* SEL_REP;
    QComboBox* lists_[kListCount];
    QPushButton* BOUTON_VALIDE;
    QLabel* Label1;
};

}  // namespace veq
