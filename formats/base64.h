/* Base64 (RFC 4648, with padding), for bytes written into text: the
 * positions and pictures inside a self-contained page. */
#ifndef MIENSCOPE_BASE64_H
#define MIENSCOPE_BASE64_H

#include <stddef.h>
#include <stdint.h>

#include <string>

std::string base64_text(const uint8_t *bytes, size_t size); /* the bytes as base64 */

#endif
