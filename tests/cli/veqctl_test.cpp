// veqctl's engine against in-process panels: results, exit statuses, parameter files, read-back.

#include <cstdio>
#include <functional>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QFileInfo>

#include "journal/journal.h"
#include "link/portmap.h"
#include "panelmem/paramfile.h"
#include "tests/cli/bench.h"

namespace veq::test {
namespace {

using Memory = sim::Panel::Memory;

QString imageOf(const Memory& m) {
    return QString::fromLatin1(sim::imageText(m));
}

// A panel whose byte 7Ch never changes: writes seem to go through, the read-back tells.
class StuckPanel : public sim::Panel {
  public:
    using Panel::Panel;
    QByteArray receive(const QByteArray& bytes) override {
        const auto stuck = memory[0x7C];
        QByteArray answer = Panel::receive(bytes);
        memory[0x7C] = stuck;
        return answer;
    }
};

TEST_F(CliBench, EachCommandOnAProgrammedPanel) {
    sim::Panel& panel = addPanel(QStringLiteral("COM3"));
    auto mutePanel = std::make_shared<sim::Panel>(sim::programmedMemory());
    devices[QStringLiteral("COM5")] = mutePanel;  // free: opens, never answers
    mute[QStringLiteral("COM5")] = true;

    Memory image = sim::programmedMemory();
    for (int a = 0; a < 0x3C; ++a) image[static_cast<size_t>(a)] = static_cast<uint8_t>(a * 7);
    const QString imageFile = file(QStringLiteral("m.hex"), sim::imageText(image));
    const QString zuk = file(QStringLiteral("c.zuk"), "2\r\n0\r\n2\r\n0\r\n0\r\n0\r\n0\r\n1\r\n");

    struct Case {
        QStringList args;
        QStringList inOut;                    // lines of the standard output
        std::function<void()> check = [] {};  // on the panel afterwards
    };
    const Case cases[] = {
        {{"ports"}, {"COM1\t/dev/ttyS0\t(port intégré)", "COM14\t-\t(aucun périphérique)"}},
        {{"detect"}, {"COM1\tAbsent.", "COM3\tLibre. VEQ_CAD.", "COM5\tLibre.", "COM14\tAbsent."}},
        {{"-p", "COM3", "params", "get"},
         {"Plage 1 : de 0 à 149, rouge", "Plage 3 : de 350 à 549, vert",
          "Plage 5 : de 750 à 9999, rouge", "Base de temps : heure (36100000)",
          "Seuil d'arrêt : 60", "Moyenne niveau 1 : 2", "Moyenne niveau 2 : 4",
          "Nombre de digits : 4", "Affichage : entier", "Suppression des zéros : oui",
          "Lecture effectuée avec succés."}},
        {{"-p", "com3", "memory", "read"}, imageOf(sim::programmedMemory()).split('\n')},
        {{"--port=COM3", "brightness", "get"},
         {"Luminosité : 100%", "Fréquence de commutation : 8 s",
          "Seuil de commutation jour/nuit : 8", "Lecture effectuée avec succés."}},
        {{"--config", zuk, "switches"},
         {"SW2 : OFF OFF OFF OFF OFF OFF OFF OFF", "SW3 : ON  OFF ON  OFF OFF OFF OFF OFF",
          "  DIP3 Nbr digit  (Voir doc.)     ON", "Modèle : VEQ trois couleurs."}},
        {{"-p", "COM3", "brightness", "set", "--mode", "60%", "--period", "6", "--threshold", "10"},
         {"Programmation effectuée avec succés."},
         [&] {
             EXPECT_EQ(panel.memory[0x3C], 0x08);
             EXPECT_EQ(panel.memory[0x3D], 0x0B);
             EXPECT_EQ(panel.memory[0x3E], 0x0A);
         }},
        {{"-p", "COM3", "memory", "write", imageFile},
         {"Programmation effectuée avec succés."},
         [&] { EXPECT_EQ(panel.memory, image); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(run(c.args), cli::kDone) << err.toStdString();
        const QStringList lines = out.split('\n');
        for (const QString& want : c.inOut)
            EXPECT_TRUE(lines.contains(want)) << want.toStdString() << "\n" << out.toStdString();
        c.check();
    }
}

TEST_F(CliBench, ParameterFileRoundTripProgramsTheSameBytes) {
    Memory other = sim::programmedMemory();
    // Ranges green 1 / red 99 / orange 4000 / green 4002 / orange 9000, averaging 16 and 8, time
    // base 36000000 ("Autre"), anti-bounce 255, relays 1 and 9999, 2 digits, decimal, no
    // suppression, stop threshold 3600, and three bytes no setting covers.
    const uint8_t tail[32] = {0x40, 0x02, 0x80, 0x64, 0x0F, 0xA1, 0x4F, 0xA3, 0x23, 0x29, 0x5A,
                              0x55, 0x4B, 0x00, 0x00, 0x10, 0x08, 0x00, 0x51, 0x25, 0x02, 0xFF,
                              0x00, 0x01, 0x27, 0x0F, 0x85, 0x0E, 0x10, 0x12, 0x34, 0x56};
    for (int i = 0; i < 32; ++i) other[static_cast<size_t>(96 + i)] = tail[i];

    struct Case {
        Memory memory;
        QString timeBase;             // as the file holds it
        QString brightness = "null";  // as the file holds it
        bool byteOrderMark = false;   // the file as an editor saved it, with a BOM
    };
    std::vector<Case> cases = {{sim::programmedMemory(), "\"heure\""},
                               {other, "36000000", "null", true}};
    // 6Ch holds the code of the brightness programmed ("K" for none).
    const std::pair<uint8_t, const char*> brightnesses[] = {{0x02, "\"100%\""},
                                                            {0x04, "\"80%\""},
                                                            {0x08, "\"60%\""},
                                                            {0x10, "\"50%\""},
                                                            {0x20, "\"40%\""}};
    for (const auto& [code, name] : brightnesses) {
        Case c{sim::programmedMemory(), "\"heure\"", name};
        c.memory[0x6C] = code;
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.brightness.toStdString());
        sim::Panel& panel =
            addPanel(QStringLiteral("COM3"), std::make_shared<sim::Panel>(c.memory));
        const QString path = dir.filePath(QStringLiteral("p.json"));
        ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", path}), cli::kDone)
            << err.toStdString();
        const QByteArray json = read(path);
        EXPECT_TRUE(json.contains("\"time_base\": " + c.timeBase.toUtf8())) << json.toStdString();
        EXPECT_TRUE(json.contains("\"brightness\": " + c.brightness.toUtf8()))
            << json.toStdString();
        if (c.byteOrderMark) file(QStringLiteral("p.json"), "\xEF\xBB\xBF" + json);

        for (int a = 96; a < 125; ++a) panel.memory[static_cast<size_t>(a)] = 0x00;  // blank
        EXPECT_EQ(run({"-p", "COM3", "params", "set", path}), cli::kDone) << err.toStdString();
        EXPECT_EQ(imageOf(panel.memory), imageOf(c.memory));
        EXPECT_EQ(out, "Programmation effectuée avec succés.\n");
    }
}

TEST_F(CliBench, BadFilesAreRefusedBeforeAnythingIsSent) {
    addPanel(QStringLiteral("COM3"));
    const QString good = dir.filePath(QStringLiteral("good.json"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", good}), cli::kDone);
    const QJsonObject base = QJsonDocument::fromJson(read(good)).object();

    using Edit = std::function<void(QJsonObject&)>;
    const auto range = [](int k, const char* key, const QJsonValue& v) {
        return Edit([=](QJsonObject& o) {
            QJsonArray ranges = o["ranges"].toArray();
            QJsonObject r = ranges[k].toObject();
            r[key] = v;
            ranges[k] = r;
            o["ranges"] = ranges;
        });
    };
    struct Case {
        Edit edit;
        QString message;                // what the error names
        QByteArray from = {}, to = {};  // then renamed in the file's text (a key twice)
        QByteArray after = {};          // then added at the file's end
    };
    const Case cases[] = {
        {[](QJsonObject& o) { o["colour_depth"] = 3; }, "champ inconnu \"colour_depth\""},
        {[](QJsonObject& o) { o["zz"] = "60%"; }, "champ \"brightness\" donné deux fois", "\"zz\"",
         "\"brightness\""},
        {range(2, "zz", 9000), "champ \"ranges[2].end\" donné deux fois", "\"zz\"", "\"end\""},
        {[](QJsonObject& o) { o.remove("time_base"); }, "champ \"time_base\" manquant"},
        {[](QJsonObject& o) { o["stop_threshold"] = 5000; },
         "champ \"stop_threshold\" vaut 5000 : valeurs permises : un nombre entier de 3 à 3600"},
        {[](QJsonObject& o) { o["stop_threshold"] = 36.5; }, "\"stop_threshold\" vaut 36.5"},
        {[](QJsonObject& o) { o["time_base"] = "jour"; },
         "\"time_base\" vaut \"jour\" : valeurs permises : \"heure\", \"minute\", \"seconde\" ou "
         "un nombre entier de 1 à 2147483647"},
        {[](QJsonObject& o) { o["time_base"] = 0; }, "\"time_base\" vaut 0"},
        {range(2, "end", 350),
         "\"ranges[2].end\" vaut 350 : valeurs permises : un nombre entier "
         "de 351 à 9995"},
        // Range 5 (to 9999) would hold one value, or none: it holds two at least, as the others.
        {range(3, "end", 9998),
         "\"ranges[3].end\" vaut 9998 : valeurs permises : un nombre "
         "entier de 551 à 9997"},
        {[](QJsonObject& o) { o["first_bound"] = 9999; },
         "\"first_bound\" vaut 9999 : valeurs permises : un nombre entier de 0 à 9989"},
        {[](QJsonObject& o) {
             o["display"] = QString::fromUtf8(
                 "de\xCC\x81"
                 "cimal");
         },
         "forme décomposée, lettre puis accent combinant : « é » s'écrit U+00E9 et non U+0065 "
         "U+0301"},
        // A second object past the first MiB is not left unread.
        {[](QJsonObject&) {}, "fichier trop volumineux", {}, {}, QByteArray(1 << 20, ' ') + "{}"},
        {range(0, "colour", "bleu"),
         "\"ranges[0].colour\" vaut \"bleu\" : valeurs permises : "
         "\"rouge\", \"vert\", \"orange\""},
        {[](QJsonObject& o) { o["averaging_2"] = 3; },
         "\"averaging_2\" vaut 3 : valeurs permises "
         ": 1, 2, 4, 8, 16"},
        {[](QJsonObject& o) { o["digits"] = "4"; },
         "\"digits\" vaut \"4\" : valeurs permises : 2, 3, 4 ou null"},
    };
    const std::size_t sent = writes(QStringLiteral("COM3"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        QJsonObject o = base;
        c.edit(o);
        QByteArray text = QJsonDocument(o).toJson();
        if (!c.from.isEmpty()) text.replace(c.from, c.to);
        text += c.after;
        const QString path = file(QStringLiteral("bad.json"), text);
        EXPECT_EQ(run({"-p", "COM3", "params", "set", path}), cli::kUsage);
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
    }
    // Not JSON at all; an image without the signature.
    EXPECT_EQ(run({"-p", "COM3", "params", "set", file("x.json", "{\"ranges\": [")}), cli::kUsage);
    EXPECT_TRUE(err.contains("pas un fichier JSON")) << err.toStdString();
    Memory unsigned_ = sim::programmedMemory();
    unsigned_[0x6A] = 0x00;
    unsigned_[0x6B] = 0xFF;
    const QString image = file(QStringLiteral("u.hex"), sim::imageText(unsigned_));
    EXPECT_EQ(run({"-p", "COM3", "memory", "write", image}), cli::kUsage);
    EXPECT_TRUE(err.contains("« ZUK »")) << err.toStdString();
    EXPECT_EQ(writes(QStringLiteral("COM3")), sent);

    EXPECT_EQ(run({"-p", "COM3", "memory", "write", "--force", image}), cli::kDone);
    EXPECT_GT(writes(QStringLiteral("COM3")), sent);

    // Signed as the memory map's blank test has it: one of "Z" at 6Ah, "U" at 6Bh is enough, and
    // 6Ch may hold a brightness code (a memory read after "params set" with a brightness).
    for (const auto& change : {std::pair<int, uint8_t>{0x6C, 0x04}, {0x6B, 0xFF}}) {
        SCOPED_TRACE(change.first);
        Memory m = sim::programmedMemory();
        m[static_cast<size_t>(change.first)] = change.second;
        EXPECT_EQ(run({"-p", "COM3", "memory", "write", file("s.hex", sim::imageText(m))}),
                  cli::kDone)
            << err.toStdString();
    }
}

TEST_F(CliBench, UsageErrorsEndWithTwoAndSendNothing) {
    addPanel(QStringLiteral("COM3"));
    const QString params = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", params}), cli::kDone);
    const QByteArray paramsText = read(params);
    const QString paramsLink = dir.filePath(QStringLiteral("link.json"));
    ASSERT_TRUE(QFile::link(params, paramsLink));
    const QByteArray notesText = "Ligne 4 : changer le capteur.\n";
    const QString notes = file(QStringLiteral("notes.txt"), notesText);
    const QString output = dir.filePath(QStringLiteral("o.json"));
    // COM7 and COM8 lead to one device, through a link.
    const QString device = file(QStringLiteral("dev7"), {});
    const QString deviceLink = dir.filePath(QStringLiteral("link7"));
    ASSERT_TRUE(QFile::link(device, deviceLink));
    qputenv("VEQ_COM7", QFile::encodeName(device));
    qputenv("VEQ_COM8", QFile::encodeName(deviceLink));
    const QString journalLink = dir.filePath(QStringLiteral("j.jsonl"));
    ASSERT_TRUE(QFile::link(journal::journalPath(), journalLink));
#ifdef Q_OS_UNIX
    // A named pipe, and the writing end of a pipe as /dev/stdout is when the output is piped.
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const QString piped = QStringLiteral("/dev/fd/%1").arg(pipeEnds[1]);
#endif

    struct Case {
        QStringList args;
        QString message;  // what the error says
    };
    const Case cases[] = {
        {{"ports", "-o", "x"}, "-o ne sert pas à « ports » (options de « ports » : --json)"},
        {{"ports", "--force"}, "--force ne sert pas à « ports »"},
        {{"ports", "-p", "COM3"}, "-p ne sert pas à « ports »"},
        {{"detect", "-p", "/nonexistent"}, "-p ne sert pas à « detect »"},
        {{"detect", "--output=y"}, "--output ne sert pas à « detect »"},
        {{"-p", "COM3", "brightness", "get", "--mode", "60%"},
         "--mode ne sert pas à « brightness get »"},
        {{"-p", "COM3", "params", "set", params, "--force"},
         "--force ne sert pas à « params set »"},
        {{"-p", "COM3", "params", "set", params, "--trace", params},
         "c'est aussi le fichier de « params set »"},
        {{"-p", "COM3", "params", "set", params, "--trace", paramsLink},
         "c'est aussi le fichier de « params set »"},
        {{"-p", "COM3", "params", "get", "-o", output, "--trace", dir.path() + "/./o.json"},
         "c'est aussi le fichier de -o"},
        {{"-p", "COM3", "memory", "read", "--trace", notes},
         "le fichier existe et n'est pas une trace"},
        {{"-p", "COM3", "params", "get", "-o", dir.path()}, "ce n'est pas un fichier ordinaire"},
        {{"-p", "COM3", "memory", "read", "-o", journalLink},
         "c'est aussi le journal des opérations"},
        {{"-p", "COM3", "memory", "read", "-o", portsFilePath()},
         "c'est aussi le fichier des ports"},
        {{"-p", "COM7", "params", "get", "-o", deviceLink}, "c'est aussi le port COM7"},
        {{"-p", "COM3", "switches", "--trace", dir.path()}, "ce n'est pas un fichier ordinaire"},
#ifdef Q_OS_UNIX
        {{"-p", "COM3", "params", "get", "-o", fifo}, "ce n'est pas un fichier ordinaire"},
        {{"-p", "COM3", "switches", "--trace", fifo}, "ce n'est pas un fichier ordinaire"},
        {{"-p", "COM3", "switches", "--trace", piped}, "ce n'est pas un fichier ordinaire"},
#endif
        {{"-p", "COM3", "-p", "com3:", "switches"}, "le même port est donné deux fois"},
        {{"-p", "COM3", "-p", "COM7", "-p", deviceLink, "switches"},
         "le même port est donné deux fois : COM7 et " + deviceLink},
        {{"-p", "COM8", "-p", "COM7", "switches"},
         "le même port est donné deux fois : COM8 et COM7"},
        // A bare name is a device of /dev, as the port opener takes it.
        {{"-p", "/dev/null", "-p", "null", "switches"},
         "le même port est donné deux fois : /dev/null et null"},
    };
    const std::size_t sent = writes(QStringLiteral("COM3"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(run(c.args), cli::kUsage);
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
    }
    qunsetenv("VEQ_COM7");
    qunsetenv("VEQ_COM8");
#ifdef Q_OS_UNIX
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());  // not replaced
#endif
    EXPECT_EQ(writes(QStringLiteral("COM3")), sent);
    EXPECT_EQ(read(params), paramsText);
    EXPECT_EQ(read(notes), notesText);
    EXPECT_FALSE(QFile::exists(output));

    // An earlier trace is added to, never cut.
    const QString trace = dir.filePath(QStringLiteral("t.trace"));
    ASSERT_EQ(run({"-p", "COM3", "switches", "--trace", trace}), cli::kDone);
    const QByteArray first = read(trace);
    ASSERT_TRUE(first.contains(" COM3 > ")) << first.toStdString();
    ASSERT_EQ(run({"-p", "COM3", "switches", "--trace", trace}), cli::kDone);
    EXPECT_TRUE(read(trace).startsWith(first));
    EXPECT_EQ(read(trace).size(), 2 * first.size());
}

TEST_F(CliBench, AReadBackThatDiffersEndsWithThree) {
    sim::Panel& panel =
        addPanel(QStringLiteral("COM3"), std::make_shared<StuckPanel>(sim::programmedMemory()));
    QJsonObject o = cli::parametersJson(memmap::RateSettings{});  // the window's at load
    o["stop_threshold"] = 100;
    const QString params = file(QStringLiteral("p.json"), QJsonDocument(o).toJson());
    Memory image = sim::programmedMemory();
    image[0x7C] = 0x64;
    const QString imageFile = file(QStringLiteral("m.hex"), sim::imageText(image));

    for (const QStringList& args : {QStringList{"-p", "COM3", "params", "set", params},
                                    QStringList{"-p", "COM3", "memory", "write", imageFile}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(run(args), cli::kMismatch) << err.toStdString();
        EXPECT_TRUE(err.contains("7Ch écrit 64, relu 3C")) << err.toStdString();
        EXPECT_EQ(panel.memory[0x7C], 0x3C);
    }
}

TEST_F(CliBench, TwoPortsOneMuteProgramsTheOtherAndEndsWithOne) {
    sim::Panel& good = addPanel(QStringLiteral("COM3"));
    sim::Panel& silent = addPanel(QStringLiteral("COM4"));
    mute[QStringLiteral("COM4")] = true;
    const QString path = dir.filePath(QStringLiteral("p.json"));
    ASSERT_EQ(run({"-p", "COM3", "params", "get", "-o", path}), cli::kDone);
    QJsonObject o = QJsonDocument::fromJson(read(path)).object();
    o["stop_threshold"] = 100;
    file(QStringLiteral("p.json"), QJsonDocument(o).toJson());

    EXPECT_EQ(run({"-p", "COM3", "-p", "COM4", "params", "set", path}), cli::kFailed);
    EXPECT_EQ(good.memory[0x7C], 0x64);
    EXPECT_EQ(silent.memory, sim::programmedMemory());  // its programming never started
    EXPECT_EQ(out, "COM3 : Programmation effectuée avec succés.\n");
    EXPECT_EQ(err,
              "COM4 : Une erreur est survenue. Veuillez recommencer ou  vérifier directement sur "
              "l'afficheur.\n"
              "COM4 : Rien n'a été écrit : la lecture qui devait précéder a échoué. "
              "L'afficheur n'a pas répondu. Vérifiez le câble ou la liaison radio, "
              "l'alimentation de l'afficheur, le port choisi et la vitesse (9600 bauds).\n");

    // The same as one JSON document, in the order the ports were given.
    EXPECT_EQ(run({"--json", "-p", "COM4", "-p", "COM3", "params", "get"}), cli::kFailed);
    QJsonParseError e{};
    const QJsonObject doc = QJsonDocument::fromJson(out.toUtf8(), &e).object();
    ASSERT_EQ(e.error, QJsonParseError::NoError) << out.toStdString();
    EXPECT_EQ(doc["exit"].toInt(), 1);
    const QJsonArray ports = doc["ports"].toArray();
    ASSERT_EQ(ports.size(), 2);
    EXPECT_EQ(ports[0]["port"].toString(), "COM4");
    EXPECT_EQ(ports[0]["exit"].toInt(), 1);
    EXPECT_EQ(ports[1]["exit"].toInt(), 0);
    EXPECT_EQ(ports[1]["parameters"]["stop_threshold"].toInt(), 100);
}

TEST_F(CliBench, ProgressBarsOnlyOnATerminalAndNeverWithJson) {
    addPanel(QStringLiteral("COM3"));
    for (const bool json : {false, true}) {
        std::FILE* terminal = std::tmpfile();
        ASSERT_NE(terminal, nullptr);
        console.terminal = terminal;
        QStringList args{"-p", "COM3", "memory", "read"};
        if (json) args.prepend("--json");
        EXPECT_EQ(run(args), cli::kDone);
        std::rewind(terminal);
        char buffer[8192] = {};
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, terminal);
        std::fclose(terminal);
        const QByteArray drawn(buffer, static_cast<qsizetype>(n));
        if (json) {
            EXPECT_TRUE(drawn.isEmpty()) << drawn.toStdString();
        } else {
            EXPECT_TRUE(drawn.contains("COM3")) << drawn.toStdString();
            EXPECT_TRUE(drawn.contains("[##############################] 100 %"));
            // Drawn along the way too, not only at the end.
            EXPECT_GT(drawn.count(" %"), 2) << drawn.toStdString();
        }
    }
}

}  // namespace
}  // namespace veq::test
