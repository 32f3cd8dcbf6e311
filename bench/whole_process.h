/* Timing a program as a whole process, as a user runs it. */
#ifndef MIENSCOPE_WHOLE_PROCESS_H
#define MIENSCOPE_WHOLE_PROCESS_H

#include <string>
#include <vector>

/* The median of runs runs in seconds, PATH set to path unless it is "", no display; -1 if any failed
 * (its standard error printed). */
double median_seconds(const std::string &binary, const std::vector<std::string> &args, const std::string &path = "",
                      int runs = 5);

#endif
