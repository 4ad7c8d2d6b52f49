"""The exception raised for failures reported by the library, and its error codes."""

OK = 0
OUT_OF_RANGE = -1
WRITE_ERROR = -3
FILE_ERROR = -4
FORMAT_ERROR = -5


class Error(Exception):
    """A failure reported by the sc_api library.

    ``str(error)`` says what failed in words; ``error.code`` is the library's error code
    (``sc_api.FILE_ERROR``, ``sc_api.FORMAT_ERROR``, ...).
    """

    def __init__(self, message, code):
        super().__init__(message)
        self.code = code

    def __reduce__(self):
        return (type(self), (str(self), self.code))
