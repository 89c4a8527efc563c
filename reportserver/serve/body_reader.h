// A request body as the server's operations read it: in pieces, handed to a
// sink as they arrive, so that no body need be held whole. The reader tells
// how the body ended.
//
// Thread-safety: a reader is used on the request's thread only.
#ifndef KORVA_REPORTSERVER_SERVE_BODY_READER_H_
#define KORVA_REPORTSERVER_SERVE_BODY_READER_H_

#include <cstddef>
#include <functional>

namespace korva {

// Takes the next piece; false stops the reading.
using BodySink = std::function<bool(const char* data, size_t size)>;

enum class BodyEnd {
  Complete,  // every byte reached the sink
  TooLarge,  // longer than the transport takes; the sink saw none of it
  BrokeOff,  // the connection ended early, or the sink stopped the reading
};

using BodyReader = std::function<BodyEnd(const BodySink& sink)>;

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_BODY_READER_H_
