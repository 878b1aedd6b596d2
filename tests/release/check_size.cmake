# Fails when the program is larger than LIMIT bytes. Falwick.EXE ships inside every host's
# installer and is fetched by nobody twice, but a size that grows unseen means something
# heavy was linked in by accident (the C++ library's number conversion alone is 110 KiB).
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE} is ${size} bytes, over the limit of ${LIMIT}")
endif()
message(STATUS "${FILE} is ${size} bytes, within the limit of ${LIMIT}")
