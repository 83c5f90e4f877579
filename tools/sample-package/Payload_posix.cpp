// The payload linked in as read-only data; the build passes the two files' paths.
#include "tools/sample-package/Payload.h"

#ifndef QV_PAYLOAD_PRODUCT
#error QV_PAYLOAD_PRODUCT must name the product executable
#endif
#ifndef QV_PAYLOAD_UNINSTALLER
#error QV_PAYLOAD_UNINSTALLER must name the uninstaller executable
#endif

asm(".section .rodata\n"
    ".balign 16\n"
    ".global qv_payload_product_begin\n"
    "qv_payload_product_begin:\n"
    ".incbin \"" QV_PAYLOAD_PRODUCT "\"\n"
    ".global qv_payload_product_end\n"
    "qv_payload_product_end:\n"
    ".balign 16\n"
    ".global qv_payload_uninstaller_begin\n"
    "qv_payload_uninstaller_begin:\n"
    ".incbin \"" QV_PAYLOAD_UNINSTALLER "\"\n"
    ".global qv_payload_uninstaller_end\n"
    "qv_payload_uninstaller_end:\n"
    ".previous\n");

extern "C" const char qv_payload_product_begin[], qv_payload_product_end[];
extern "C" const char qv_payload_uninstaller_begin[], qv_payload_uninstaller_end[];

namespace sample {

PayloadBytes ProductPayload() {
    return {qv_payload_product_begin, static_cast<size_t>(qv_payload_product_end - qv_payload_product_begin)};
}

PayloadBytes UninstallerPayload() {
    return {qv_payload_uninstaller_begin,
            static_cast<size_t>(qv_payload_uninstaller_end - qv_payload_uninstaller_begin)};
}

}  // namespace sample
