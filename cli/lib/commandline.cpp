#include "cli/lib/commandline.h"

#include <algorithm>

#include <QRegularExpression>

namespace veq::cli {

namespace {

QString takeValue(const QStringList& args, int& i, const QString& option, QString& error) {
    const QString& a = args[i];
    const int eq = static_cast<int>(a.indexOf(QLatin1Char('=')));
    if (a.startsWith(QLatin1String("--")) && eq > 0) return a.mid(eq + 1);
    if (i + 1 >= args.size()) {
        error = QStringLiteral("l'option %1 attend une valeur").arg(option);
        return {};
    }
    return args[++i];
}

void store(Request& q, Option option, const QString& value) {
    switch (option) {
        case kPort:
            q.ports << value;
            break;
        case kConfig:
            q.config = value;
            break;
        case kTrace:
            q.trace = value;
            break;
        case kJson:
            q.json = true;
            break;
        case kOutput:
            q.output = value;
            break;
        case kForce:
            q.force = true;
            break;
        case kMode:
            q.mode = value;
            break;
        case kPeriod:
            q.period = value;
            break;
        case kThreshold:
            q.threshold = value;
            break;
        case kLast:
            q.last = value;
            break;
        case kOntoOther:
            q.ontoOther = true;
            break;
    }
}

}  // namespace

const std::vector<OptionName>& optionNames() {
    static const std::vector<OptionName> names = {
        {kPort, "-p", "--port", "PORT",
         "COMn (numérotation de l'application) ou un chemin de\n"
         "périphérique ; à répéter pour plusieurs panneaux, traités en\n"
         "même temps (un même périphérique sous deux noms est refusé)"},
        {kConfig, nullptr, "--config", "FICHIER.zuk",
         "le port de la ligne 1 d'un fichier de configuration"},
        {kTrace, nullptr, "--trace", "FICHIER",
         "chaque trame dans les deux sens, avec son heure, une ligne\n"
         "chacune ; ajoutée à la fin d'une trace existante ; un autre\n"
         "fichier existant, un fichier de la commande, un périphérique,\n"
         "un tube ou un dossier est refusé"},
        {kJson, nullptr, "--json", nullptr, "le résultat en JSON sur la sortie standard"},
        {kOutput, "-o", "--output", "FICHIER",
         "le fichier à écrire (params get, memory read ; un seul port) :\n"
         "un fichier ordinaire ou un nouveau nom ; jamais un\n"
         "périphérique, un tube, un dossier, le port, le journal, le\n"
         "fichier des ports ou un fichier que la commande lit"},
        {kForce, nullptr, "--force", nullptr,
         "memory write, restore : écrit aussi une image sans signature"},
        {kMode, nullptr, "--mode", "M", nullptr},
        {kPeriod, nullptr, "--period", "S", nullptr},
        {kThreshold, nullptr, "--threshold", "T", nullptr},
        {kLast, nullptr, "--last", "N", "journal : les N derniers enregistrements (20 par défaut)"},
        {kOntoOther, nullptr, "--onto-other-panel", nullptr,
         "restore : écrit les octets dans le panneau de -p même s'il n'est\n"
         "pas celui de l'enregistrement (un panneau remplacé, que l'on\n"
         "veut régler comme l'ancien)"},
    };
    return names;
}

QString longNames(unsigned options) {
    QStringList names;
    for (const OptionName& o : optionNames())
        if (options & o.option) names << QString::fromLatin1(o.longName);
    return names.join(QStringLiteral(", "));
}

std::optional<Request> parse(const QStringList& args, QString& error) {
    Request q;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString name =
            a.startsWith(QLatin1String("--")) ? a.section(QLatin1Char('='), 0, 0) : a;
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            q.help = true;
            continue;
        }
        const auto& names = optionNames();
        const auto known = std::find_if(names.begin(), names.end(), [&name](const OptionName& o) {
            return name == QLatin1String(o.longName) ||
                   (o.shortName && name == QLatin1String(o.shortName));
        });
        if (known == names.end()) {
            if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
                error = QStringLiteral("option inconnue %1").arg(a);
                return std::nullopt;
            }
            q.words << a;
            continue;
        }
        q.given.emplace_back(known->option, name);
        const QString value = known->value ? takeValue(args, i, name, error) : QString();
        if (!error.isEmpty()) return std::nullopt;
        store(q, known->option, value);
    }
    return q;
}

std::optional<int> comNumber(const QString& port) {
    static const QRegularExpression com(QStringLiteral("^COM(\\d{1,2}):?$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(port);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toInt();
}

std::optional<int> wholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high) return std::nullopt;
    return v;
}

}  // namespace veq::cli
