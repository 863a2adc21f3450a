#include "uWeb.h"

#include <QLineEdit>
#include <QVBoxLayout>

uWeb::uWeb(QWidget *parent) : QWidget(parent), txURL(new QLineEdit(this))
{
    setObjectName(QStringLiteral("uWeb"));
    txURL->setObjectName(QStringLiteral("txURL"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txURL);
    layout->addStretch();
}

void uWeb::setURL(const QString &url)
{
    m_curUrl = url;
    txURL->setText(url);
}

QString uWeb::URL() const
{
    return m_curUrl;
}

void uWeb::Refresh() {}

void uWeb::SetText(const QString &text)
{
    txURL->setText(text);
}

void uWeb::RetCom(int) {}
