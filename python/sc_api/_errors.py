"""The exception raised for failures reported by the library, and its error codes."""

OK = 0
OUT_OF_RANGE = -1
WRITE_ERROR = -3
FILE_ERROR = -4
FORMAT_ERROR = -5
ALLOCATION_ERROR = -6


class Error(Exception):
    """A failure reported by the sc_api library.

    ``str(error)`` says what failed in words (the file and the problem); ``error.code`` is the
    library's error code (``sc_api.FILE_ERROR``, ``sc_api.FORMAT_ERROR``, ...). Failures of
    the file operations (open, convert, import_rpl, check, remove) also name the problem in
    ``error.problem``: 'missing_file', 'permission_denied', 'not_a_cube', 'damaged_header',
    'unsupported_layout', 'foreign_layout' (a raw cube of another program: use import_rpl),
    'damaged_data', 'output_exists', 'same_input_output', 'write_failed',
    'values_out_of_range', 'invalid_argument', 'out_of_memory'; it is None for failed reads.
    """

    def __init__(self, message, code, problem=None):
        super().__init__(message)
        self.code = code
        self.problem = problem

    def __reduce__(self):
        return (type(self), (str(self), self.code, self.problem))
