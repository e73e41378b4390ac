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
 * each injected fault becomes (no server, an absent address, failing transfers, a target out of
 * reach, a bad argument). One table of calls (TypedCalls) runs in a child JVM per scenario.
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

    /** Runs a child against the scenario (null: the default robot; "none": no server). */
    static Map<String, String> outcomes(String scenario, String child) throws Exception {
        NativeRun run;
        if ("none".equals(scenario)) {
            run = NativeRun.run("TypedApiTest#" + child);
        } else {
            Path file = scenario == null ? null
                    : Path.of(System.getProperty("source.dir"), "java", scenario);
            try (SimServer sim = SimServer.start(file, null)) {
                run = NativeRun.run("TypedApiTest#" + child);
            }
        }
        assertEquals(0, run.exitCode, run.stderr);
        Map<String, String> outcomes = new TreeMap<>();
        for (String name : TypedCalls.CALLS.keySet()) {
            run.reported(name).forEach(value -> outcomes.put(name, value));
        }
        return outcomes;
    }

    /** Each outcome starts as expected; an exception's message names its method and device. */
    static void assertOutcomes(Map<String, String> expected, Map<String, String> actual,
            Map<String, String> devices) {
        assertEquals(expected.keySet(), actual.keySet());
        expected.forEach((name, start) -> {
            String outcome = actual.get(name);
            assertTrue(outcome.startsWith(start), name + ": expected " + start + ", got " + outcome);
            String device = devices.getOrDefault(name, "");
            assertTrue(start.startsWith("ok") || outcome.contains(" at " + device),
                    name + ": the message does not name " + device + ": " + outcome);
        });
    }

    static final Map<String, String> DEVICES = Map.ofEntries(Map.entry("read11", "I2C 0x11"),
            Map.entry("write11", "I2C 0x11"), Map.entry("servo13", "I2C 0x13"),
            Map.entry("currents13", "I2C 0x13"), Map.entry("adc14", "I2C 0x14"),
            Map.entry("sonic15", "I2C 0x15"), Map.entry("motor16", "I2C 0x16"),
            Map.entry("eeprom0", "SPI line 0"), Map.entry("eeprom2", "SPI line 2"),
            Map.entry("read50", "I2C 0x50"), Map.entry("write50", "I2C 0x50"),
            Map.entry("spi1", "SPI line 1"), Map.entry("laser", "I2C 0x29"));

    @Test
    void theDefaultRobotAnswersAndAbsentAddressesAreNoDevice() throws Exception {
        Map<String, String> expected = new TreeMap<>(Map.ofEntries(
                Map.entry("scan", "ok:[41, 48, 72, 80, 81, 82, 112]"), Map.entry("describe", "ok:"),
                Map.entry("write50", "ok:"), Map.entry("read50", "ok:[202, 254]"),
                Map.entry("read11", "NoDeviceException:read at I2C 0x11"),
                Map.entry("write11", "NoDeviceException:write at I2C 0x11"),
                Map.entry("servo51", "ok:"),
                Map.entry("servo13", "NoDeviceException:dualServo_1500_PWM at I2C 0x13"),
                Map.entry("pair", "ok:"),
                Map.entry("pair13", "NoDeviceException:dualServo_1500_PWM at I2C 0x51 and I2C 0x13"),
                Map.entry("currents", "ok:[44, 49]"),
                // The first board answered: the message names the second.
                Map.entry("currents13", "NoDeviceException:dualServo_1500_Current at I2C 0x13"),
                Map.entry("adc48", "ok:[58, 127, 196, 33]"),
                Map.entry("adc14", "NoDeviceException:adcsdac at I2C 0x14: reading input 1"),
                Map.entry("sonic70", "ok:300"),
                Map.entry("sonic15", "NoDeviceException:Ultra_Sonic at I2C 0x15"),
                Map.entry("motor30", "ok:100"),
                Map.entry("motor16", "NoDeviceException:ReadMotorSpeeds at I2C 0x16"),
                Map.entry("spi1", "ok:[85, 170, 7]"), Map.entry("eeprom0", "ok:[32, 32, 16]"),
                Map.entry("eeprom2", "NoDeviceException:spiWriteRead at SPI line 2"),
                Map.entry("laser", "ok:true")));
        assertOutcomes(expected, outcomes(null, "allChild"), DEVICES);
    }

    @Test
    void withoutAServerEveryCallIsNoServer() throws Exception {
        Map<String, String> actual = outcomes("none", "allChild");
        assertEquals(TypedCalls.CALLS.keySet(), actual.keySet());
        actual.forEach((name, outcome) -> {
            assertTrue(outcome.startsWith("NoServerException:"), name + ": " + outcome);
            assertTrue(name.equals("scan") || name.equals("describe")
                    || outcome.contains("localhost:9656"), name + ": " + outcome);
        });
    }

    @Test
    void failingTransfersAreNoDeviceOrUnnoticedWhereTheLibraryHidesThem() throws Exception {
        Map<String, String> expected = new TreeMap<>(Map.of(
                "read50", "NoDeviceException:read at I2C 0x50",
                "eeprom0", "NoDeviceException:spiWriteRead at SPI line 0",
                // A failed SPI transfer hands back zeros, like a device sending zeros.
                "spi1", "ok:[0, 0, 0]",
                "laser", "NoDeviceException:I2C_LaserMeasurement at I2C 0x29: measurement failed "
                        + "(0 mm) after 3 reconnects"));
        assertOutcomes(expected, outcomes("api-test/scenarios/faulted_transfers.json",
                "faultedChild"), DEVICES);
    }

    @Test
    void aTargetOutOfReachIsNoTarget() throws Exception {
        assertEquals(Map.of("laser", "NoTargetException:I2C_LaserMeasurement at I2C 0x29: no "
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
                "spiWriteRead at SPI line 4: slave-select line 4 is outside 0..3"), run.stderr);
        String calls = Files.readString(trace);
        Files.delete(trace);
        assertFalse(calls.contains("Dln"), calls);
        assertEquals("", run.stdout, "the library printed: it was called");
    }
}
