#include "params/dump24c01.h"

#include "link/kldbase.h"
#include "link/ui/configuration.h"
#include "link/ui/twips.h"
#include "link/ui/windows.h"

namespace veq {

Dump24c01::Dump24c01(WindowContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("dump_24c01"));
    setWindowTitle(QStringLiteral(" Paramètres."));
    setClientSizeTwips(this, 7410, 4950);

    but_lit_para = new QPushButton(QStringLiteral("Lire les paramètres"), this);
    but_lit_para->setObjectName(QStringLiteral("but_lit_para"));
    placeTwips(but_lit_para, 60, 4020, 3015, 375);
    connect(but_lit_para, &QPushButton::clicked, this, [this] { but_lit_para_Click(); });

    but_ecrit_para = new QPushButton(QStringLiteral("Programme les paramètres"), this);
    but_ecrit_para->setObjectName(QStringLiteral("but_ecrit_para"));
    placeTwips(but_ecrit_para, 3240, 4020, 3975, 375);
    connect(but_ecrit_para, &QPushButton::clicked, this, [this] { but_ecrit_para_Click(); });
}

void Dump24c01::but_lit_para_Click() {
    if (!PORT_OUVERT(ctx_.configuration(), ctx_.messages)) return;
}

void Dump24c01::but_ecrit_para_Click() {
    if (!PORT_OUVERT(ctx_.configuration(), ctx_.messages)) return;
}

}  // namespace veq
