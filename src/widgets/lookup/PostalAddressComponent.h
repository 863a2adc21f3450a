#pragma once

#include "core/lookup/AddressComponent.h"
#include "core/lookup/PostalDictionary.h"

#include <QPoint>

#include <memory>

// The program's own address dictionary component: the postal dictionary and
// its search window.
class PostalAddressComponent final : public AddressComponent
{
public:
    explicit PostalAddressComponent(std::shared_ptr<const PostalDictionary> dict);
    Q_DISABLE_COPY_MOVE(PostalAddressComponent)

    // Loads the dictionary (Japan Post's files in the user data folder, else
    // the SKK dictionaries in `skkFolder`); null when no data could be read.
    static std::unique_ptr<PostalAddressComponent> create(const QString &userDataFolder,
                                                          const QString &skkFolder = QStringLiteral("/usr/share/skk"));

    void SetPos(int &x, int &y) override;
    bool PutAdd(QString &zip, QString &add, QString &cmp, short mode) override;

    const PostalDictionary &dictionary() const { return *m_dict; }

private:
    std::shared_ptr<const PostalDictionary> m_dict;
    QPoint m_twips;
    bool m_placed = false;
};
