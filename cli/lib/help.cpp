// veqctl's help, from the command and option tables.

#include "cli/lib/commandline.h"
#include "cli/lib/commands.h"
#include "cli/lib/veqctl.h"

namespace veq::cli {

namespace {

constexpr int kColumn = 24;  // the width of the left column, after two spaces

// One entry: its name in the left column, its text beside it and below; a name too long for the
// column stands on a line of its own.
QString entry(const QString& name, const QString& text) {
    const QString indent(2 + kColumn + 1, QLatin1Char(' '));
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString out = QStringLiteral("  ") + name;
    if (name.size() > kColumn)
        out += QLatin1Char('\n') + indent;
    else
        out += QString(kColumn + 1 - name.size(), QLatin1Char(' '));
    return out + lines.join(QLatin1Char('\n') + indent) + QLatin1Char('\n');
}

QString optionName(const OptionName& o) {
    QString name =
        o.shortName ? QString::fromLatin1(o.shortName) + QStringLiteral(", ") : QString();
    name += QString::fromLatin1(o.longName);
    if (o.value) name += QLatin1Char(' ') + QString::fromLatin1(o.value);
    return name;
}

}  // namespace

QString helpText() {
    QString text = QStringLiteral(
        "Usage : veqctl [options] COMMANDE [ARGUMENTS]\n"
        "\n"
        "Le panneau VEQ en ligne de commande, avec les opérations des fenêtres de VEQ Cadence.\n"
        "\n"
        "Commandes :\n");
    QStringList writers;
    for (const Command& c : commands()) {
        text += entry(QString::fromUtf8(c.usage), c.help);
        if (c.access == Access::Writes) writers << commandName(c);
    }
    text += QStringLiteral("\nCommandes qui programment le panneau : %1.\n")
                .arg(writers.join(QStringLiteral(", ")));
    text += QStringLiteral("\nOptions :\n");
    for (const OptionName& o : optionNames())
        if (o.help) text += entry(optionName(o), QString::fromUtf8(o.help));
    text += entry(QStringLiteral("-h, --help"), QStringLiteral("cette aide"));
    return text + QStringLiteral(
                      "\n"
                      "-p, --config et --trace servent aux commandes du panneau, --trace aussi à "
                      "detect, --json\n"
                      "à toutes, -p aussi à journal ; une option dont la commande ne se sert pas "
                      "est refusée.\n"
                      "\n"
                      "Chaque lecture et chaque programmation s'inscrit au journal des opérations "
                      "(voir journal).\n"
                      "\n"
                      "Quand une opération échoue, le message des fenêtres est suivi d'une ligne "
                      "qui dit\n"
                      "pourquoi et quoi vérifier ; avec --json, la clé « cause » le dit.\n"
                      "\n"
                      "Code de sortie : 0 tout est fait ; 1 une opération a échoué sur un port ; "
                      "2 mauvais\n"
                      "usage ou mauvais fichier (rien n'a été envoyé) ; 3 la relecture diffère de "
                      "ce qui a été\n"
                      "écrit ; 4 params diff ou memory diff : le panneau diffère du fichier.\n");
}

}  // namespace veq::cli
