// Owned answers of the HTTP library. An answer prepared once can be queued on any number
// of connections at once; the library keeps its own reference while it sends, so the owner
// may let go at any time.
#pragma once

#include <microhttpd.h>

#include <initializer_list>
#include <memory>
#include <string_view>
#include <utility>

namespace kestrova {

struct ResponseRelease {
    void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};
using HttpResponse = std::unique_ptr<MHD_Response, ResponseRelease>;

using HeaderList = std::initializer_list<std::pair<const char*, const char*>>;

// The body is copied: the answer does not depend on the caller's buffer. Null when the
// library is out of memory.
HttpResponse makeResponse(std::string_view body, HeaderList headers);

}  // namespace kestrova
