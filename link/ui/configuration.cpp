#include "link/ui/configuration.h"

#include <algorithm>
#include <iterator>

#include <QEvent>
#include <QFont>

#include "ui/twips.h"
#include "ui/windows.h"

namespace veq {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGreen(0, 255, 0);

// Empties a label's caption when it is clicked.
class ClearOnClick : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) {
            if (auto* l = qobject_cast<QLabel*>(o)) l->clear();
        }
        return false;
    }
};

}  // namespace

ConfigurationWindow::ConfigurationWindow(WindowContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx), session_(ctx.makePort()) {
    setObjectName(QStringLiteral("CONFIGURATION"));
    setWindowTitle(QStringLiteral(" Configuration."));
    useWindowFont(this);
    setBackground(this, kWhite);
    setClientSizeTwips(this, 4620, 1755);

    struct Row {
        QComboBox** list;
        const char* name;
        const char* labelName;
        const char* caption;
        int left, top;
    };
    const Row rows[] = {
        {&SEL_COM, "SEL_COM", "label_Port", " Port", 1800, 120},
        {&SEL_COUL, "SEL_COUL", "Label3", "Couleur des digits", 1800, 480},
        {&SEL_REP, "SEL_REP", "Label7", "Controle réponses", 1800, 840},
        {&SEL_INTER, "SEL_INTER", "label_Interface", " Interface", 2640, 3120},
        {&SEL_NBR_DIGI, "SEL_NBR_DIGI", "Label2", "Nombre de digits", 1920, 3720},
        {&SEL_DCF77, "SEL_DCF77", "Label4", "Option DCF77", 1920, 4440},
        {&SEL_REL1, "SEL_REL1", "Label5", "Option Relais 1 et 2", 1920, 4800},
        {&SEL_REL2, "SEL_REL2", "Label6", "Option SCORE", 1920, 5160},
    };
    for (const Row& r : rows) {
        auto* label = new QLabel(QString::fromUtf8(r.caption), this);
        label->setObjectName(QLatin1String(r.labelName));
        setBackground(label, kWhite);
        placeTwips(label, 120, r.top, r.left - 180, 345);
        auto* combo = new QComboBox(this);
        combo->setObjectName(QLatin1String(r.name));
        combo->setEditable(false);
        placeTwips(combo, r.left, r.top, 2655, 345);
        label->setBuddy(combo);
        *r.list = combo;
    }
    QComboBox* const order[kListCount] = {SEL_COM,   SEL_INTER, SEL_NBR_DIGI, SEL_COUL,
                                          SEL_DCF77, SEL_REL1,  SEL_REL2,     SEL_REP};
    std::copy(std::begin(order), std::end(order), std::begin(lists_));

    BOUTON_VALIDE = new QPushButton(QStringLiteral("Valider la configuration"), this);
    BOUTON_VALIDE->setObjectName(QStringLiteral("BOUTON_VALIDE"));
    placeTwips(BOUTON_VALIDE, 120, 1230, 4335, 375);
    setBackground(BOUTON_VALIDE, kGreen);
    BOUTON_VALIDE->setFont(comicFont(9.75, true));
    connect(BOUTON_VALIDE, &QPushButton::clicked, this, [this] { BOUTON_VALIDE_Click(); });

    Label1 = new QLabel(QStringLiteral("Label1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 4680, 1680, 1335, 495);
    Label1->installEventFilter(new ClearOnClick(Label1));

    Form_Load();
    takeValues();
    for (QComboBox* list : lists_)
        connect(list, &QComboBox::currentTextChanged, this, [this] { takeValues(); });
    pressButtonsOnEnter(this);
    // The lists placed outside the client area are kept, loaded and saved, not reached.
    keepHiddenControlsOutOfReach(this);
}

ConfigurationWindow::~ConfigurationWindow() = default;

void ConfigurationWindow::Form_Load() {
    for (int n = 1; n <= 12; ++n) SEL_COM->addItem(QStringLiteral("COM%1:").arg(n));
    SEL_INTER->addItems({QStringLiteral("Filaire "), QStringLiteral("Sans fil")});
    SEL_NBR_DIGI->addItems({QStringLiteral("8 Digits 99 heu 59 min 59 sec 99 cen"),
                            QStringLiteral("6 Digits 99 min 59 sec 99 cen"),
                            QStringLiteral("4 Digits 99 sec 99 cen"),
                            QStringLiteral("2 Digits 99 cen")});
    SEL_COUL->addItem(QStringLiteral("Tri couleur "));
    for (QComboBox* yesNo : {SEL_DCF77, SEL_REL1, SEL_REL2, SEL_REP})
        yesNo->addItems({QStringLiteral("NON"), QStringLiteral("OUI")});

    SEL_COM->setCurrentIndex(2);
    SEL_INTER->setCurrentIndex(0);
    SEL_NBR_DIGI->setCurrentIndex(2);
    SEL_COUL->setCurrentIndex(0);
    SEL_DCF77->setCurrentIndex(0);
    SEL_REL1->setCurrentIndex(0);
    SEL_REL2->setCurrentIndex(0);
    SEL_REP->setCurrentIndex(1);
}

void ConfigurationWindow::takeValues() {
    LinkValues& v = session_.values();
    v.comNumber = portNumberText().toInt();
    v.interfaceChoice = SEL_INTER->currentIndex();
    v.digitsChoice = SEL_NBR_DIGI->currentIndex();
    v.colourChoice = SEL_COUL->currentIndex();
    v.dcf77 = linktext::yes(SEL_DCF77->currentText());
    v.relays = linktext::yes(SEL_REL1->currentText());
    v.score = linktext::yes(SEL_REL2->currentText());
    v.response = linktext::responseFrom(SEL_REP->currentText());
}

QString ConfigurationWindow::portNumberText() const {
    QString number = QStringLiteral("1");
    const QString selected = SEL_COM->currentText();
    for (int n = 1; n <= 12; ++n) {
        if (selected == QStringLiteral("COM%1:").arg(n)) number = QString::number(n);
    }
    return number;
}

void ConfigurationWindow::OUVERTURE_DU_COM() {
    const QString number = portNumberText();
    if (!session_.open(number.toInt())) {
        ctx_.messages.show(
            QStringLiteral("L'ouverture du port COM") + number + QStringLiteral(" à échouée !"),
            Icon::Critical);
        return;
    }
    ctx_.messages.show(QStringLiteral("Ouverture du port COM") + number +
                           QStringLiteral(": effectuée avec succès."),
                       Icon::Information);
    emit portOpened();
    showMinimisedState(this);
}

}  // namespace veq
