# The Python interpreter of the whole build (the stub generator, the tests' scripts and the Python
# bridge), chosen before anything asks for one. A machine may have several, a version manager's
# first on PATH, and only some import NumPy (Debian's python3-numpy is for /usr/bin/python3): the
# system's /usr/bin/python3 is asked first, then the python3 on PATH, and the first that imports
# NumPy is the one. Without one that does, FindPython chooses as usual and the bridge is left out
# (python/CMakeLists.txt). -DPython3_EXECUTABLE=... chooses another.
option(PHOTARION_BUILD_PYTHON "Build the Python bridge" ON)
set(PHOTARION_PYTHON_WITH_NUMPY FALSE)
if(PHOTARION_BUILD_PYTHON)
  set(candidates ${Python3_EXECUTABLE})
  if(NOT Python3_EXECUTABLE)
    find_program(PHOTARION_PATH_PYTHON NAMES python3 NO_CACHE)
    set(candidates /usr/bin/python3 ${PHOTARION_PATH_PYTHON})
  endif()
  string(REPLACE ";" ", " PHOTARION_PYTHONS_ASKED "${candidates}")
  foreach(candidate IN LISTS candidates)
    if(EXISTS "${candidate}")
      execute_process(COMMAND "${candidate}" -c "import numpy" RESULT_VARIABLE status
                      OUTPUT_QUIET ERROR_QUIET)
      if(status EQUAL 0)
        set(Python3_EXECUTABLE "${candidate}" CACHE FILEPATH "The Python interpreter of the build")
        set(PHOTARION_PYTHON_WITH_NUMPY TRUE)
        break()
      endif()
    endif()
  endforeach()
endif()
