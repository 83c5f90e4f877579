// The product and its uninstaller, carried inside the sample package as a real package
// carries its payload. The build passes the two files' paths.
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
