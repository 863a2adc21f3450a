#pragma once

#include "core/lookup/AddressComponent.h"
#include "core/lookup/PostalDictionary.h"
#include "core/lookup/PostalReaders.h"

#include <QPoint>

#include <memory>

// The program's own address dictionary component: the postal dictionary and
// its search window.
class PostalAddressComponent final : public AddressComponent
{
public:
    explicit PostalAddressComponent(std::shared_ptr<const PostalDictionary> dict);
    Q_DISABLE_COPY_MOVE(PostalAddressComponent)

    // Where the program's postal data is looked for: Japan Post's files in the
    // user data folder, the shipped snapshot beside the program, the SKK
    // dictionaries in `skkFolder`; the compiled form in the cache folder.
    static PostalReaders::Locations locations(const QString &userDataFolder,
                                              const QString &skkFolder = QStringLiteral("/usr/share/skk"));
    // Loads the dictionary from the newest of those; null when no data could
    // be read.
    static std::unique_ptr<PostalAddressComponent> create(const QString &userDataFolder,
                                                          const QString &skkFolder = QStringLiteral("/usr/share/skk"));

    void SetPos(int &x, int &y) override;
    bool PutAdd(QString &zip, QString &add, QString &cmp, short mode) override;

    const PostalDictionary &dictionary() const { return *m_dict; }
    // The same dictionary, for work that may outlive this component (a check
    // of the whole list still running when the data is updated).
    std::shared_ptr<const PostalDictionary> sharedDictionary() const { return m_dict; }

private:
    std::shared_ptr<const PostalDictionary> m_dict;
    QPoint m_twips;
    bool m_placed = false;
};
