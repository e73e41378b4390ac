import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.ArgumentOutOfRangeException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import org.junit.jupiter.api.Test;

/**
 * The typed API against dln-sim: what it hands back from the default robot, and which exception
 * with which result code each injected fault becomes (no server, an absent address, failing
 * transfers, a target out of reach, a bad argument); nothing printed, no file made. One table of
 * calls (TypedCalls) runs in a child JVM per scenario.
 */
public class TypedApiTest {
    static final List<String> ALL = List.copyOf(TypedCalls.CALLS.keySet());

    public static void allChild() {
        TypedCalls.run(ALL);
    }

    public static void faultedChild() {
        TypedCalls.run(List.of("read50", "eeprom0", "spi1", "laser"));
    }

    public static void laserChild() {
        TypedCalls.run(List.of("laser"));
    }

    /**
     * Runs a child against the scenario (null: the default robot; "none": no server) in a
     * folder of its own: whatever the calls end with, nothing is printed and no file is made.
     */
    static Map<String, String> outcomes(String scenario, String child) throws Exception {
        NativeRun run;
        Path folder = Files.createTempDirectory("typed-calls");
        if ("none".equals(scenario)) {
            run = NativeRun.run("TypedApiTest#" + child, folder);
        } else {
            Path file = scenario == null ? null
                    : Path.of(System.getProperty("source.dir"), "java", scenario);
            try (SimServer sim = SimServer.start(file, null)) {
                run = NativeRun.run("TypedApiTest#" + child, folder);
            }
        }
        assertEquals(0, run.exitCode, run.stderr);
        assertEquals("", run.stdout, "printed on standard output");
        try (var files = Files.list(folder)) {
            assertEquals(List.of(), files.toList(), "files made in the working folder");
        }
        Files.delete(folder);
        Map<String, String> outcomes = new TreeMap<>();
        for (String name : TypedCalls.CALLS.keySet()) {
            run.reported(name).forEach(value -> outcomes.put(name, value));
        }
        return outcomes;
    }

    /** Each outcome starts as expected; an exception's message names its call and device. */
    static void assertOutcomes(Map<String, String> expected, Map<String, String> actual) {
        assertEquals(expected.keySet(), actual.keySet());
        expected.forEach((name, start) -> {
            String outcome = actual.get(name);
            assertTrue(outcome.startsWith(start), name + ": expected " + start + ", got " + outcome);
        });
    }

    /** The expected start of a failed call's outcome: its type, code, call, device and code name. */
    static String failed(String type, int code, String call, String device) {
        String name = code == 0x44 ? "I2C NACK" : code == 0x47 ? "connection failed" : "";
        return String.format("%s(0x%02X):%s at %s: 0x%02X %s", type, code, call, device, code,
                name);
    }

    @Test
    void theDefaultRobotAnswersAndAbsentAddressesAreNacks() throws Exception {
        Map<String, String> expected = new TreeMap<>(Map.ofEntries(
                Map.entry("scan", "ok:[41, 48, 72, 80, 81, 82, 112]"), Map.entry("describe", "ok:2"),
                Map.entry("write50", "ok:"), Map.entry("read50", "ok:[202, 254]"),
                Map.entry("read11", failed("NoDeviceException", 0x44, "I2cDevice.read", "I2C 0x11")),
                Map.entry("write11", failed("NoDeviceException", 0x44, "I2cDevice.write",
                        "I2C 0x11")),
                Map.entry("servo51", "ok:"),
                Map.entry("servo13", failed("NoDeviceException", 0x44, "ServoBoard.setPulseWidth",
                        "I2C 0x13")),
                Map.entry("pair", "ok:"),
                // The first board took its width; the message names the second.
                Map.entry("pair13", failed("NoDeviceException", 0x44, "ServoPair.setPulseWidths",
                        "I2C 0x13")),
                Map.entry("currents", "ok:[44, 49]"),
                Map.entry("currents13", failed("NoDeviceException", 0x44, "ServoPair.currents",
                        "I2C 0x13")),
                Map.entry("adc48", "ok:[58, 127, 196, 33]"),
                Map.entry("adc14", failed("NoDeviceException", 0x44, "AdcDacBoard.exchange",
                        "I2C 0x14")),
                Map.entry("sonic70", "ok:300"),
                Map.entry("sonic15", failed("NoDeviceException", 0x44, "UltrasonicRanger.rangeCm",
                        "I2C 0x15")),
                Map.entry("motor30", "ok:100"),
                Map.entry("motor16", failed("NoDeviceException", 0x44, "MotorBoard.speed",
                        "I2C 0x16")),
                Map.entry("spi1", "ok:[85, 170, 7]"), Map.entry("eeprom0", "ok:[32, 32, 16]"),
                Map.entry("eeprom2", "NoDeviceException:SpiEeprom.identify at SPI line 2: no"
                        + " EEPROM answered"),
                Map.entry("laser", "ok:true")));
        assertOutcomes(expected, outcomes(null, "allChild"));
    }

    @Test
    void withoutAServerEveryCallIsNoServerWithConnectionFailed() throws Exception {
        Map<String, String> actual = outcomes("none", "allChild");
        assertEquals(TypedCalls.CALLS.keySet(), actual.keySet());
        actual.forEach((name, outcome) -> {
            assertTrue(outcome.startsWith("NoServerException(0x47):"), name + ": " + outcome);
            assertTrue(outcome.contains(": 0x47 connection failed") && outcome.endsWith(
                    "; no adapter server answers at localhost:9656"), name + ": " + outcome);
        });
    }

    @Test
    void failingTransfersAreExceptionsWithTheAdaptersCode() throws Exception {
        Map<String, String> expected = new TreeMap<>(Map.of(
                "read50", failed("NoDeviceException", 0x44, "I2cDevice.read", "I2C 0x50"),
                "eeprom0", "DlnException(0x83):SpiEeprom.identify at SPI line 0: 0x83 ",
                // A failed SPI transfer is a failure, never zeros handed back.
                "spi1", "DlnException(0x83):SpiDevice.transfer at SPI line 1: 0x83 ",
                // Every read of the sensor fails: setting it up fails first.
                "laser", "NoDeviceException(0x44):LaserRanger."));
        assertOutcomes(expected, outcomes("api-test/scenarios/faulted_transfers.json",
                "faultedChild"));
    }

    @Test
    void aTargetOutOfReachIsNoTarget() throws Exception {
        assertEquals(Map.of("laser", "NoTargetException:LaserRanger.range at I2C 0x29: no "
                + "target in reach (the sensor reported 8190 mm)"),
                outcomes("test/scenarios/laser_far.json", "laserChild"));
    }

    public static void badArgumentsChild() {
        int refused = 0;
        for (Runnable call : TypedCalls.BAD_ARGUMENTS) {
            try {
                call.run();
                NativeRun.report("accepted", TypedCalls.BAD_ARGUMENTS.indexOf(call));
            } catch (ArgumentOutOfRangeException e) {
                refused++;
                NativeRun.report("message", e.getMessage());
            }
        }
        NativeRun.report("refused", refused);
    }

    @Test
    void argumentsOutOfRangeAreRefusedBeforeAnyAdapterCall() throws Exception {
        Path trace = Files.createTempFile("bad-arguments", ".trace");
        NativeRun run;
        try (SimServer sim = SimServer.start(null, trace)) {
            run = NativeRun.run("TypedApiTest#badArgumentsChild");
        }
        assertEquals(List.of(), run.reported("accepted"), run.stderr);
        assertEquals(String.valueOf(TypedCalls.BAD_ARGUMENTS.size()), run.reported("refused").get(0));
        assertTrue(run.reported("message").contains(
                "SpiDevice at SPI line 4: slave-select line 4 is outside 0..3"), run.stderr);
        String calls = Files.readString(trace);
        Files.delete(trace);
        assertFalse(calls.contains("Dln"), calls);
        assertEquals("", run.stdout, "something printed");
    }
}
