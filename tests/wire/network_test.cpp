// The windows reach a panel behind a serial device server through a COM number the ports file
// gives to an rfc2217:// address, as they reach a local one.

#include <QFile>

#include "link/portmap.h"
#include "panelsim/model/image.h"
#include "tests/support/ser2net.h"
#include "tests/wire/bench.h"

namespace veq::test {
namespace {

TEST_F(OnTheWire, ANetworkedComNumberOfThePortsFileServesTheParameterWindow) {
    run([](Bench& b) {
        b.startPanel(b.healthy);
        Ser2net server;
        QString error;
        ASSERT_TRUE(server.start(b.link, Ser2net::Kind::Rfc2217, &error)) << error.toStdString();
        // COM10 from the ports file alone.
        qunsetenv("VEQ_COM10");
        QFile ports(portsFilePath());
        ASSERT_TRUE(ports.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ports.write("# a panel of hall 2\nCOM10 " + server.address().toUtf8() + "\n");
        ports.close();
        struct Cleanup {
            ~Cleanup() { QFile::remove(portsFilePath()); }
        } cleanup;

        b.validate();
        b.read();
        b.expectMessages({{kReadOk, Icon::Information}});
        b.expectCellsHold(sim::programmedMemory());
        b.expectControls(kFactoryPanel);

        b.setControls(kProgrammed);
        b.program();
        b.expectMessages({{kWriteOk, Icon::Information}});
        b.setControls(kFactoryPanel);
        b.read();
        b.expectMessages({{kReadOk, Icon::Information}});
        b.expectControls(kProgrammed);
    });
}

}  // namespace
}  // namespace veq::test
