#include "support/consolefixture.h"

#include <QRadioButton>
#include <QTimer>

Console::Console()
{
    window = std::make_unique<Mainscreen>(port, clock);
    window->Form_Load();
    window->tmrcomms->stop();
    window->tmrpctime->stop();
}

void Console::openPort1()
{
    window->optcom[1]->setChecked(true);
    window->optcom_Click(1);
}

void Console::receive(const QByteArray &bytes)
{
    port.receive(bytes);
    window->tmrcomms_Timer();
    window->tmrcomms_Timer();
}

QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}
