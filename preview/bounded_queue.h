#pragma once
// A queue of bounded length between two threads of the render pipeline: a
// producer that runs ahead waits instead of piling frames up in memory.

#include <condition_variable>
#include <deque>
#include <mutex>

template <class tItem>
class BoundedQueue {
 public:
  explicit BoundedQueue(size_t pCapacity) : mCapacity(pCapacity) {}

  // Waits for room; false, with pItem untouched, once the queue is closed.
  bool Push(tItem& pItem) {
    std::unique_lock<std::mutex> lLock(mMutex);
    mRoom.wait(lLock, [this] { return mClosed || mItems.size() < mCapacity; });
    if (mClosed) return false;
    mItems.push_back(std::move(pItem));
    mReady.notify_one();
    return true;
  }

  // Waits for an item; false once the queue is closed and drained.
  bool Pop(tItem* pItem) {
    std::unique_lock<std::mutex> lLock(mMutex);
    mReady.wait(lLock, [this] { return mClosed || !mItems.empty(); });
    if (mItems.empty()) return false;
    *pItem = std::move(mItems.front());
    mItems.pop_front();
    mRoom.notify_one();
    return true;
  }

  // No more pushes; what is queued can still be popped.
  void Close() {
    std::lock_guard<std::mutex> lLock(mMutex);
    mClosed = true;
    mReady.notify_all();
    mRoom.notify_all();
  }

 private:
  const size_t mCapacity;
  std::mutex mMutex;
  std::condition_variable mReady;
  std::condition_variable mRoom;
  std::deque<tItem> mItems;
  bool mClosed = false;
};
