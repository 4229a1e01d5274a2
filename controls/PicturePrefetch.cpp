#include "controls/PicturePrefetch.h"

#include <algorithm>
#include <mutex>

namespace
{
std::mutex activeLock;
PicturePrefetch* active = nullptr;

juce::int64 cacheKey (const void* data)
{
    return (juce::int64) (juce::pointer_sized_int) data;
}
} // namespace

juce::Image cachedPicture (const void* data, int size)
{
    if (data == nullptr || size <= 0)
        return {};

    auto image = juce::ImageCache::getFromHashCode (cacheKey (data));
    if (image.isValid())
        return image;

    std::shared_future<juce::Image> pending;
    {
        const std::lock_guard<std::mutex> lock (activeLock);
        if (active != nullptr)
            pending = active->find (data);
    }

    if (pending.valid())
    {
        image = pending.get();
        if (image.isValid())
        {
            juce::ImageCache::addImageToCache (image, cacheKey (data));
            return image;
        }
    }

    return juce::ImageCache::getFromMemory (data, size);
}

//==============================================================================
PicturePrefetch::PicturePrefetch (const std::vector<Source>& pictures)
    : entries (pictures.size())
{
    for (size_t i = 0; i < pictures.size(); ++i)
    {
        entries[i].source = pictures[i];
        entries[i].result = entries[i].decoded.get_future().share();
    }

    {
        const std::lock_guard<std::mutex> lock (activeLock);
        jassert (active == nullptr);
        if (active == nullptr)
            active = this;
    }

    // The message thread keeps a core of its own.
    const auto cores = (size_t) juce::jmax (1u, std::thread::hardware_concurrency());
    const auto count = std::min ({ entries.size(), cores > 1 ? cores - 1 : 1, (size_t) 4 });

    for (size_t i = 0; i < count; ++i)
        workers.emplace_back ([this] { work(); });
}

PicturePrefetch::~PicturePrefetch()
{
    {
        const std::lock_guard<std::mutex> lock (activeLock);
        if (active == this)
            active = nullptr;
    }

    for (auto& worker : workers)
        worker.join();
}

std::shared_future<juce::Image> PicturePrefetch::find (const void* data) const
{
    for (const auto& entry : entries)
        if (entry.source.data == data)
            return entry.result;

    return {};
}

void PicturePrefetch::work()
{
    for (auto i = nextEntry++; i < entries.size(); i = nextEntry++)
    {
        auto& entry = entries[i];
        juce::Image image;

        if (entry.source.data != nullptr && entry.source.size > 0)
            image = juce::ImageFileFormat::loadFrom (entry.source.data, (size_t) entry.source.size);

        entry.decoded.set_value (std::move (image));
    }
}
