#pragma once
// Pictures decoded on a few worker threads while the caller goes on with
// other work, for loads of many large pictures (a battle map's ground).
// Each job reads only its own bytes and makes its own surface, so nothing
// the caller's thread uses is shared; the caller takes each result, in any
// order, when it needs it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/display/surface.hpp"

namespace plat {

class PictureDecoder {
 public:
  // At most `workers` threads (0: from the machine's cores), started on the
  // first job.
  explicit PictureDecoder(unsigned workers = 0);
  // Jobs not yet started are dropped; running ones are waited for.
  ~PictureDecoder();
  PictureDecoder(const PictureDecoder&) = delete;
  PictureDecoder& operator=(const PictureDecoder&) = delete;

  // DecodePicture of the bytes on a worker; the result is null where
  // DecodePicture's would be.
  std::future<SurfacePtr> Decode(std::vector<uint8_t> bytes);
  // Drops the jobs no worker has started (their results become broken
  // promises); for a load that ended early.
  void DropQueued();

 private:
  void Work();

  unsigned limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<SurfacePtr()>> jobs_;
  std::vector<std::thread> threads_;
  bool stopping_ = false;
};

}  // namespace plat
