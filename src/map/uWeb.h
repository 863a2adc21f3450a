#pragma once

#include <QWidget>

class QLineEdit;

// The browser pane: toolbar buttons, the address box and the web view.
class uWeb final : public QWidget
{
    Q_OBJECT
public:
    explicit uWeb(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(uWeb)

    // Shows an address (reloads when it is the page already shown).
    void setURL(const QString &url);
    QString URL() const;
    void Refresh();
    void SetText(const QString &text);
    void RetCom(int index);

    QString CurUrl() const { return m_curUrl; }

private:
    QLineEdit *txURL;
    QString m_curUrl;
};
