# Writes OUTPUT, a C++ source that holds the files INPUTS (names under WEB_DIR) as byte arrays
# behind botarena::WebAssets(). Run by the build whenever one of the files changes.
set(arrays "")
set(entries "")
set(index 0)
foreach(name IN LISTS INPUTS)
    file(READ "${WEB_DIR}/${name}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    # Eighty bytes a line keeps the source readable by tools; a trailing 0 keeps an empty file
    # from making an empty array.
    string(REGEX REPLACE "((0x..,){80})" "\\1\n    " bytes "${bytes}")
    if(name MATCHES "\\.html$")
        set(type "text/html; charset=utf-8")
    elseif(name MATCHES "\\.js$")
        set(type "text/javascript; charset=utf-8")
    elseif(name MATCHES "\\.css$")
        set(type "text/css; charset=utf-8")
    else()
        message(FATAL_ERROR "No content type for the web file ${name}")
    endif()
    string(APPEND arrays "const unsigned char kFile${index}[] = {\n    ${bytes}0x00};\n")
    string(APPEND entries "        {\"${name}\", \"${type}\", View(kFile${index}, ${size})},\n")
    math(EXPR index "${index} + 1")
endforeach()

set(source "// Made by arena/viewer/embed_web_assets.cmake from arena/viewer/web/; not to be edited.
#include \"arena/viewer/web_assets.h\"

#include <cstddef>

namespace botarena {

namespace {

${arrays}
std::string_view View(const unsigned char* bytes, std::size_t size) {
    return {reinterpret_cast<const char*>(bytes), size};
}

} // namespace

const std::vector<WebAsset>& WebAssets() {
    static const std::vector<WebAsset> assets = {
${entries}    };
    return assets;
}

} // namespace botarena
")
# Rewritten only when it changes, so that an unchanged page does not rebuild the arena.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${source}" @ONLY)
