// Building answers of the HTTP library.
#include "server/HttpResponse.h"

namespace kestrova {

HttpResponse makeResponse(std::string_view body, HeaderList headers) {
    HttpResponse response(MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY));
    if (!response) {
        return response;
    }
    for (const auto& [name, value] : headers) {
        if (MHD_add_response_header(response.get(), name, value) != MHD_YES) {
            return nullptr;
        }
    }
    return response;
}

}  // namespace kestrova
