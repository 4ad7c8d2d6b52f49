"""The Python client against the C++ test host (tuplink_test_host) in another process."""

import math
import os
import subprocess

import numpy as np
import pytest
import zmq

from tuplink_client import Client, Tuple, statuses

SERVICE = "tuplink.test.svc"
PROBE = "tuplink.test.probe"


def start_host(*arguments):
    host = subprocess.Popen([os.environ["TUPLINK_TEST_HOST"], *arguments],
                            stdout=subprocess.PIPE, text=True)
    words = host.stdout.readline().split()
    assert words and words[0] == "ready", "the test host did not start"
    return host, words[1]


def stop_host(host):
    host.terminate()
    try:
        host.wait(timeout=20)
    finally:
        host.kill()


@pytest.fixture(scope="module")
def endpoint():
    host, bound = start_host("tcp://127.0.0.1:*")
    yield bound
    stop_host(host)


@pytest.fixture
def client(endpoint):
    with Client(endpoint, timeout=10.0) as connected:
        yield connected


def every_type_sample():
    leaf = Tuple("com::example::Leaf").set_int("depth", 3)
    return (Tuple("com::example::Sample")
            .set_bool("yes", True).set_bool("no", False)
            .set_int("min", -2**31).set_int("max", 2**31 - 1)
            .set_float("nan", math.nan).set_float("-inf", -math.inf).set_float("pi", math.pi)
            .set_float("one", 1.0).set_float("minus zero", -0.0)
            .set_string("text", "Gr\u00fc\u00dfe, \u4e16\u754c \u2713").set_string("empty", "")
            .set_blob("blob", bytes(range(256)) * 4).set_blob("empty blob", b"")
            .set_float_array("values", [math.nan, math.inf, -math.inf, -0.0, 12.5])
            .set_float_array("no values", [])
            .set_tuple("middle", Tuple("com::example::Middle").set_tuple("leaf", leaf))
            .set_int_list("channels", [5, 2, -2**31, 2**31 - 1]).set_int_list("none", [])
            .set_tuple_list("spectra", [leaf, Tuple("com::example::Empty")])
            .set_tuple_list("no spectra", []))


def test_every_type_round_trips_exactly_through_the_cpp_host(client):
    sample = every_type_sample()
    status, results = client.call(SERVICE, "default", PROBE, "echo", sample)
    assert status == 1
    assert results == sample
    values = results["values"]
    assert values.dtype == np.dtype("<f4") and math.isnan(values[0]) and values[2] == -math.inf
    assert np.signbit(values[3]), "-0.0 keeps its sign"
    assert results["middle"]["leaf"].get_int("depth") == 3


def test_blobs_arrive_as_numpy_arrays_viewing_the_received_bytes(client):
    status, results = client.call(SERVICE, "default", PROBE, "fill",
                                  Tuple().set_int("size", 1 << 20).set_int("byte", 0x34))
    assert status == 1
    buffer = results["buffer"]
    assert isinstance(buffer, np.ndarray) and buffer.dtype == np.uint8
    assert buffer.size == 1 << 20 and not buffer.flags.writeable, "a view, not a copy"
    samples = buffer.view("<u2")
    assert samples[0] == 0x3434 and samples.size == 1 << 19


def test_numpy_arrays_can_be_sent_as_blobs(client):
    image = np.arange(12, dtype="<u2").reshape(3, 4)
    status, results = client.call(SERVICE, "default", PROBE, "echo", Tuple().set_blob("b", image))
    assert status == 1
    assert np.array_equal(results["b"].view("<u2").reshape(3, 4), image)


def test_missing_ints_read_as_zero_and_host_statuses_come_back(client):
    status, results = client.call(SERVICE, "default", PROBE, "add", Tuple().set_int("a", 4))
    assert (status, results.get_int("sum")) == (1, 4)
    assert client.call(SERVICE, "default", PROBE, "nope")[0] == statuses.UNKNOWN_METHOD
    assert client.call("no.such.service", "default", PROBE, "add")[0] == statuses.UNKNOWN_SERVICE
    status, results = client.call(SERVICE, "default", PROBE, "fail")
    assert status == statuses.METHOD_FAILED and len(results) == 0


def test_a_late_reply_is_ignored_by_the_next_call(client):
    client.timeout = 0.1
    assert client.call(SERVICE, "default", PROBE, "sleep", Tuple().set_int("ms", 400))[0] \
        == statuses.TIMEOUT
    client.timeout = 10.0
    status, results = client.call(SERVICE, "default", PROBE, "add", Tuple().set_int("b", 9))
    assert (status, results.get_int("sum")) == (1, 9)


def test_an_unreachable_host_is_reported(tmp_path):
    with Client(f"ipc://{tmp_path}/nobody", timeout=0.3) as lonely:
        assert lonely.call(SERVICE, "default", PROBE, "add")[0] == statuses.UNREACHABLE


@pytest.mark.skipif(not zmq.has("curve"), reason="libzmq without CURVE")
def test_curve_serves_known_keys_and_refuses_others():
    server_public, server_secret = zmq.curve_keypair()
    known_public, known_secret = zmq.curve_keypair()
    stranger_public, stranger_secret = zmq.curve_keypair()
    host, bound = start_host("--curve-secret", server_secret.decode(),
                             "--client-key", known_public.decode(), "tcp://127.0.0.1:*")
    try:
        with Client(bound, timeout=3.0, curve_server_key=server_public,
                    curve_public_key=known_public, curve_secret_key=known_secret) as known:
            assert known.call(SERVICE, "default", PROBE, "add")[0] == 1
        with Client(bound, timeout=3.0, curve_server_key=server_public,
                    curve_public_key=stranger_public, curve_secret_key=stranger_secret) as other:
            assert other.call(SERVICE, "default", PROBE, "add")[0] == statuses.REFUSED
    finally:
        stop_host(host)
