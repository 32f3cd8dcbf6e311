# The README as installed: the pictures stay in the source tree, so each
# picture's line becomes its description.
s|^!\[\(.*\)\](docs/screenshots/[^)]*)$|*Picture (in the source tree): \1.*|
