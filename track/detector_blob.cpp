/* Writes, as a C++ source, dlib's frontal face detector as dlib
 * serialises it. dlib ships the detector base64-encoded and compressed
 * inside a function, and undoing that takes a third of a second every
 * time a program starts; done once at build time, the detector is read
 * back from these 150 KB in a few milliseconds. */
#include <dlib/image_processing/frontal_face_detector.h>
#include <stdio.h>

#include <sstream>
#include <string>

int main()
{
    std::istringstream shipped(dlib::get_serialized_frontal_faces());
    dlib::frontal_face_detector detector;
    dlib::deserialize(detector, shipped);
    std::ostringstream serialised;
    dlib::serialize(detector, serialised);
    std::string bytes = serialised.str();
    printf("/* Made by detector_blob from dlib's frontal face detector; not edited by hand. */\n"
           "#include <stddef.h>\n\n"
           "extern const unsigned char frontal_face_detector_bytes[] = {");
    for (size_t i = 0; i < bytes.size(); i++)
        printf("%s%u", i == 0 ? "\n" : i % 24 ? "," : ",\n", (unsigned char)bytes[i]);
    printf("};\nextern const size_t frontal_face_detector_size = %zu;\n", bytes.size());
    return ferror(stdout) ? 1 : 0;
}
