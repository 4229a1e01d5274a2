// The kit's pictures, decoded once and kept in the framework's image cache.
#pragma once

#include <juce_graphics/juce_graphics.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

// The decoded picture held in data: from the framework's image cache (keyed by
// the data's address, as juce::ImageCache::getFromMemory keys it), from a
// prefetch under way (waited for), or decoded now. Null for no data.
juce::Image cachedPicture (const void* data, int size);

// Decodes pictures on worker threads while the message thread does other work
// (start-up, where the windows' first frame waits for them). cachedPicture()
// takes a picture from here; only one prefetch is active at a time. The
// destructor waits for the workers and drops what nobody took.
class PicturePrefetch
{
public:
    struct Source
    {
        const void* data;
        int size;
    };

    explicit PicturePrefetch (const std::vector<Source>& pictures);
    ~PicturePrefetch();

private:
    struct Entry
    {
        Source source;
        std::promise<juce::Image> decoded;
        std::shared_future<juce::Image> result;
    };

    friend juce::Image cachedPicture (const void*, int);
    std::shared_future<juce::Image> find (const void* data) const;
    void work();

    std::vector<Entry> entries;
    std::atomic<size_t> nextEntry { 0 };
    std::vector<std::thread> workers;

    JUCE_DECLARE_NON_COPYABLE (PicturePrefetch)
};
