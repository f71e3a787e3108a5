#include "TWStoreTestSupport.h"
#include "store/TWBusiness.h"

#include <QImage>

#include <gtest/gtest.h>

namespace
{

struct ClientKind {
    using Ptr = TWClientPtr;
    static constexpr const char *table = "clients";
    static constexpr auto list = &TWBusiness::clients;
    static constexpr auto find = &TWBusiness::clientWithIdentifier;
    static constexpr auto load = &TWBusiness::loadClients;
    static constexpr auto add = &TWBusiness::addClient;
    static constexpr auto update = &TWBusiness::updateClient;
    static constexpr auto updateSortOrder = &TWBusiness::updateClientSortOrder;
    static constexpr auto remove = &TWBusiness::deleteClient;
    static inline const QString newName = TWClientNewNotification;
    static inline const QString updateName = TWClientUpdateNotification;
    static inline const QString deleteName = TWClientDeleteNotification;
};

struct MerchantKind {
    using Ptr = TWMerchantPtr;
    static constexpr const char *table = "merchants";
    static constexpr auto list = &TWBusiness::merchants;
    static constexpr auto find = &TWBusiness::merchantWithIdentifier;
    static constexpr auto load = &TWBusiness::loadMerchants;
    static constexpr auto add = &TWBusiness::addMerchant;
    static constexpr auto update = &TWBusiness::updateMerchant;
    static constexpr auto updateSortOrder = &TWBusiness::updateMerchantSortOrder;
    static constexpr auto remove = &TWBusiness::deleteMerchant;
    static inline const QString newName = TWMerchantNewNotification;
    static inline const QString updateName = TWMerchantUpdateNotification;
    static inline const QString deleteName = TWMerchantDeleteNotification;
};

template <typename Kind>
typename Kind::Ptr make(qint32 id, qint32 parent = 0, const QImage &logo = QImage(),
                        const QUrl &website = QUrl())
{
    return std::make_shared<typename Kind::Ptr::element_type>(
        id, QStringLiteral("N%1").arg(id), QStringLiteral("Company"), parent, 3, logo,
        QStringLiteral("555-1"), QStringLiteral("555-2"), QStringLiteral("a@example.com"), website,
        QStringLiteral("1 Main St"), QStringLiteral("Notes"));
}

template <typename List> QList<qint32> identifiers(const List &items)
{
    QList<qint32> result;
    for (const auto &item : items)
        result.append(item->identifier());
    return result;
}

qint64 count(TWBusiness &business, const char *table)
{
    return twQueryInt(business, QStringLiteral("SELECT COUNT(*) FROM %1;").arg(table)).value_or(-1);
}

template <typename K> class ContactStore : public ::testing::Test
{
protected:
    using Ptr = typename K::Ptr;
    void SetUp() override { ASSERT_TRUE(business); }

    const auto &list() { return (b().*K::list)(); }
    Ptr find(qint32 id) { return (b().*K::find)(id); }
    TWErrorResult add(const Ptr &item, bool notify = false) { return (b().*K::add)(item, notify); }
    TWErrorResult update(const Ptr &item) { return (b().*K::update)(item, true); }
    TWErrorResult remove(const Ptr &item, bool notify) { return (b().*K::remove)(item, notify); }
    qint64 rows() { return count(b(), K::table); }
    QString table() const { return QString::fromLatin1(K::table); }
    void addThree()
    {
        for (qint32 id : {100, 101, 102})
            ASSERT_OK(add(make<K>(id)));
    }
    TWBusiness &b() { return *business; }

    std::unique_ptr<TWBusiness> business = twMakeBusiness();
};

using Kinds = ::testing::Types<ClientKind, MerchantKind>;
TYPED_TEST_SUITE(ContactStore, Kinds);

} // namespace

TYPED_TEST(ContactStore, RoundTripWithAndWithoutLogoAndWebsite)
{
    using K = TypeParam;
    QImage logo(24, 16, QImage::Format_RGB32);
    logo.fill(QColor(220, 0, 0));
    const auto full = make<K>(100, 7, logo, QUrl(QStringLiteral("https://example.com/a b")));
    ASSERT_OK(this->add(full));
    ASSERT_OK(this->add(make<K>(101)));
    // A logo that is no image.
    twExec(this->b(), QStringLiteral("INSERT INTO %1 (identifier, logo) VALUES (102, x'FFD8FF00');")
                          .arg(this->table()));

    // The logo is JPEG data; no logo and no website are NULL.
    EXPECT_EQ(twQueryText(this->b(), QStringLiteral("SELECT hex(substr(logo, 1, 3)) || website "
                                                    "FROM %1 WHERE identifier=100;")
                                         .arg(this->table())),
              QStringLiteral("FFD8FFhttps://example.com/a%20b"));
    EXPECT_EQ(twQueryInt(this->b(), QStringLiteral("SELECT logo IS NULL AND website IS NULL "
                                                   "FROM %1 WHERE identifier=101;")
                                        .arg(this->table())),
              1);

    ASSERT_OK((this->b().*K::load)());
    ASSERT_EQ(identifiers(this->list()), (QList<qint32>{100, 101, 102}));
    const auto read = this->find(100);
    ASSERT_TRUE(read);
    const auto texts = [](const auto &item) {
        return QStringList{item->name(),    item->company(), item->phone(),
                           item->fax(),     item->email(),   item->website().toString(),
                           item->address(), item->notes()};
    };
    EXPECT_EQ(texts(read), texts(full));
    EXPECT_EQ(read->parentIdentifier(), 7);
    ASSERT_EQ(read->logo().size(), QSize(24, 16));
    EXPECT_NEAR(read->logo().pixelColor(12, 8).red(), 220, 12);
    for (qint32 id : {101, 102})
        EXPECT_TRUE(this->find(id)->logo().isNull());
}

TYPED_TEST(ContactStore, AddRefusesIdentifierZeroAndDuplicates)
{
    using K = TypeParam;
    TWNotificationRecorder recorder(this->business.get());
    EXPECT_TRUE(this->add(make<K>(0), true));
    ASSERT_OK(this->add(make<K>(100), true));
    const auto first = this->find(100);
    EXPECT_TRUE(this->add(make<K>(100), true));
    EXPECT_EQ(this->find(100), first);
    EXPECT_EQ(this->rows(), 1);
    EXPECT_EQ(recorder.names(), QStringList{K::newName});
}

TYPED_TEST(ContactStore, FailedOrUndoneDeleteLeavesEverything)
{
    this->addThree();
    const auto before = this->list();
    TWNotificationRecorder recorder(this->business.get());

    twExec(this->b(), QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON %1 "
                                     "BEGIN SELECT RAISE(ABORT, 'kept'); END;")
                          .arg(this->table()));
    EXPECT_TRUE(this->remove(this->find(101), true));
    EXPECT_EQ(this->list(), before);
    twExec(this->b(), QStringLiteral("DROP TRIGGER keep;"));

    // The delete succeeds, but the write it belongs to is undone.
    {
        TWBusiness::WriteScope outer(this->b());
        ASSERT_OK(this->remove(this->find(101), true));
        EXPECT_EQ(this->list().size(), 2);
        outer.rollback();
    }
    EXPECT_EQ(this->list(), before);
    EXPECT_EQ(this->rows(), 3);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(this->b().inTransaction());
}

TEST(ClientsMerchantsReports, FailedGroupDeleteLeavesEverything)
{
    auto business = twMakeBusiness();
    ASSERT_TRUE(business);
    ASSERT_OK(
        business->addGroup(TWGroup::groupWithIdentifier(10, TWItemTypeClientGroup,
                                                        QStringLiteral("G"), 0, 0, QColor(), false),
                           false));
    for (qint32 id : {100, 101, 102})
        ASSERT_OK(business->addClient(make<ClientKind>(id, id == 101 ? 0 : 10), false));
    twExec(*business, QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON clients "
                                     "WHEN old.identifier = 102 "
                                     "BEGIN SELECT RAISE(ABORT, 'kept'); END;"));
    const TWClientList before = business->clients();
    TWNotificationRecorder recorder(business.get());

    EXPECT_TRUE(business->deleteGroup(business->groupWithIdentifier(10), true));
    EXPECT_EQ(business->clients(), before);
    EXPECT_TRUE(business->groupWithIdentifier(10));
    EXPECT_EQ(count(*business, "clients"), 3);
    EXPECT_EQ(count(*business, "groups"), 1);
    EXPECT_TRUE(recorder.names().isEmpty());
    EXPECT_FALSE(business->inTransaction());
}
