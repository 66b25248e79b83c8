#include "placeholderconnectionpage.h"

#include <QLabel>
#include <QVBoxLayout>

PlaceholderConnectionPage::PlaceholderConnectionPage(const PageFactory::ConnectionPageArgs &args)
    : ConnectionPage(args.parent)
    , m_link(args.link)
    , m_logger(args.logger)
    , m_peerAddress(args.peerAddress)
    , m_role(args.role)
    , m_condix(args.condix)
{
    setObjectName(QStringLiteral("LayerWidget"));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(tr("Connected to %1 (%2)").arg(args.peerName, args.peerAddress), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}

PlaceholderConnectionPage::~PlaceholderConnectionPage() = default;

void PlaceholderConnectionPage::disconnect()
{
}
