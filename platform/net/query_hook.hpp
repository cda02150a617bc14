#pragma once
// Searches for a game reach a host on the transport it already runs (a typed
// address asks the game ports; a serial cable has only the one line), so the
// real transports let a responder see the search's datagrams first.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace plat {

// Returns the answer for a datagram it recognises, sent straight back to the
// asker, or nothing: the datagram then goes on to the transport itself. Runs
// on the thread that polls the transport.
using QueryHandler = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t>)>;

class AnswersQueries {
 public:
  virtual ~AnswersQueries() = default;
  // Any thread; an empty handler stops answering. Once it returns, the old
  // handler is no longer running and will not run again.
  virtual void SetQueryHandler(QueryHandler handler) = 0;
};

}  // namespace plat
