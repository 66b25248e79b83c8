#include "placeholderconnectionpage.h"
#include "plaintext.h"

#include "commandnames.h"

#include <QLabel>
#include <QVBoxLayout>

PlaceholderConnectionPage::PlaceholderConnectionPage(const PageContext &context, const ConnectionPageArgs &args)
    : ConnectionPage(context.parent)
    , m_wire(context.link, context.logger, QStringLiteral(".\\placeholderconnectionpage"), args.condix)
    , m_peerAddress(args.peerAddress)
    , m_role(args.role)
    , m_condix(args.condix)
{
    setObjectName(QStringLiteral("LayerWidget"));
    auto *layout = new QVBoxLayout(this);
    auto *label = PlainText::label(tr("Connected to %1 (%2)").arg(args.peerName, args.peerAddress), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}

PlaceholderConnectionPage::~PlaceholderConnectionPage() = default;

void PlaceholderConnectionPage::disconnect()
{
    m_wire.send(QString::fromLatin1(CMD_DISCONNECT), {{QStringLiteral("condix"), QByteArray(1, char(m_condix))}});
}
