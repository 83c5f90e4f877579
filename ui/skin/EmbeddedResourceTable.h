/* The table the generated resource object defines (C, so the generator stays trivial). */
#ifndef QV_EMBEDDED_RESOURCE_TABLE_H
#define QV_EMBEDDED_RESOURCE_TABLE_H

#ifdef __cplusplus
extern "C" {
#endif

struct QvEmbeddedResource {
    const char* type;
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};

#ifdef __cplusplus
}
#endif

#endif
