#include "foundation/TWSQLitePageCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

namespace
{

// SQLite's own page cache, which does the work.
sqlite3_pcache_methods2 g_inner = {};

// One cache: SQLite's, and for a cache whose pages leave only when SQLite
// says so (not purgeable: an in-memory database), the numbers of the pages
// it may hold. A number is set when a page is made or moved there and cleared
// when it is moved away or truncated; a page discarded one by one keeps its
// bit, which only costs a truncation that finds nothing. A page can never be
// held without its bit, so a truncation is skipped only when it has nothing to
// drop.
struct Cache {
    sqlite3_pcache *inner = nullptr;
    bool tracked = false;
    std::vector<std::uint64_t> bits;
    // The words before it may hold bits; those from it on are all zero.
    std::size_t top = 0;

    // False when the numbers could not be kept: the cache stops skipping.
    bool set(unsigned key)
    {
        const std::size_t word = key / 64;
        try {
            if (word >= bits.size())
                bits.resize(std::max<std::size_t>(word + 1, bits.size() * 2), 0);
        } catch (const std::bad_alloc &) {
            tracked = false;
            return false;
        }
        bits[word] |= std::uint64_t(1) << (key % 64);
        top = std::max(top, word + 1);
        return true;
    }

    void dropTop()
    {
        while (top > 0 && bits[top - 1] == 0)
            --top;
    }

    void clear(unsigned key)
    {
        const std::size_t word = key / 64;
        if (word >= top)
            return;
        bits[word] &= ~(std::uint64_t(1) << (key % 64));
        dropTop();
    }

    bool anyFrom(unsigned limit) const
    {
        std::size_t word = limit / 64;
        if (word >= top)
            return false;
        if (bits[word] >> (limit % 64))
            return true;
        for (++word; word < top; ++word) {
            if (bits[word])
                return true;
        }
        return false;
    }

    void clearFrom(unsigned limit)
    {
        const std::size_t word = limit / 64;
        if (word >= top)
            return;
        bits[word] &= (std::uint64_t(1) << (limit % 64)) - 1;
        std::fill(bits.begin() + std::ptrdiff_t(word) + 1, bits.begin() + std::ptrdiff_t(top), 0);
        top = word + 1;
        dropTop();
    }
};

Cache *cacheOf(sqlite3_pcache *cache)
{
    return reinterpret_cast<Cache *>(cache);
}

int init(void *)
{
    return g_inner.xInit ? g_inner.xInit(g_inner.pArg) : SQLITE_OK;
}

void shutdown(void *)
{
    if (g_inner.xShutdown)
        g_inner.xShutdown(g_inner.pArg);
}

sqlite3_pcache *create(int pageSize, int extraSize, int purgeable)
{
    auto *cache = new (std::nothrow) Cache;
    if (!cache)
        return nullptr;
    cache->inner = g_inner.xCreate(pageSize, extraSize, purgeable);
    if (!cache->inner) {
        delete cache;
        return nullptr;
    }
    cache->tracked = !purgeable;
    return reinterpret_cast<sqlite3_pcache *>(cache);
}

void cacheSize(sqlite3_pcache *cache, int size)
{
    g_inner.xCachesize(cacheOf(cache)->inner, size);
}

int pageCount(sqlite3_pcache *cache)
{
    return g_inner.xPagecount(cacheOf(cache)->inner);
}

sqlite3_pcache_page *fetch(sqlite3_pcache *cache, unsigned key, int create)
{
    Cache *c = cacheOf(cache);
    if (!c->tracked || create == 0)
        return g_inner.xFetch(c->inner, key, create);
    // A page already held needs no bit; only a page made here does.
    if (sqlite3_pcache_page *held = g_inner.xFetch(c->inner, key, 0))
        return held;
    sqlite3_pcache_page *made = g_inner.xFetch(c->inner, key, create);
    if (made)
        c->set(key);
    return made;
}

void unpin(sqlite3_pcache *cache, sqlite3_pcache_page *page, int discard)
{
    g_inner.xUnpin(cacheOf(cache)->inner, page, discard);
}

void rekey(sqlite3_pcache *cache, sqlite3_pcache_page *page, unsigned oldKey, unsigned newKey)
{
    Cache *c = cacheOf(cache);
    g_inner.xRekey(c->inner, page, oldKey, newKey);
    if (c->tracked && c->set(newKey))
        c->clear(oldKey);
}

void truncate(sqlite3_pcache *cache, unsigned limit)
{
    Cache *c = cacheOf(cache);
    if (c->tracked && !c->anyFrom(limit))
        return;
    g_inner.xTruncate(c->inner, limit);
    if (c->tracked)
        c->clearFrom(limit);
}

void destroy(sqlite3_pcache *cache)
{
    Cache *c = cacheOf(cache);
    g_inner.xDestroy(c->inner);
    delete c;
}

void shrink(sqlite3_pcache *cache)
{
    if (g_inner.xShrink)
        g_inner.xShrink(cacheOf(cache)->inner);
}

} // namespace

namespace TWSQLitePageCache
{

bool install()
{
    static bool installed = false;
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_pcache_methods2 inner = {};
        if (sqlite3_config(SQLITE_CONFIG_GETPCACHE2, &inner) != SQLITE_OK || !inner.xCreate ||
            !inner.xFetch || !inner.xUnpin || !inner.xRekey || !inner.xTruncate ||
            !inner.xDestroy || !inner.xCachesize || !inner.xPagecount)
            return;
        g_inner = inner;
        static const sqlite3_pcache_methods2 methods = {
            1,     nullptr, init,  shutdown, create,  cacheSize, pageCount,
            fetch, unpin,   rekey, truncate, destroy, shrink};
        installed = sqlite3_config(SQLITE_CONFIG_PCACHE2, &methods) == SQLITE_OK;
    });
    return installed;
}

} // namespace TWSQLitePageCache
