#include "trace/image_trace.h"

bool write_page_image(PageImage, const std::string&, std::string& error) {
    error = "image traces are not built yet";
    return false;
}
