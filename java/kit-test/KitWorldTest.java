import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.Dln;
import i2cdln.DlnException;
import i2cdln.I2cDevice;
import i2cdln.NoDeviceException;
import i2cdln.sim.SimFault;
import i2cdln.sim.SimRobot;
import i2cdln.sim.SimTrace;
import i2cdln.sim.SimWorld;
import i2cdln.sim.SimulatedRobot;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Duration;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CompletableFuture;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;

/** World steps from a test, through the live page's API of the kit's own simulator. */
@SimulatedRobot
class KitWorldTest {
    private static final Duration LOADED_MACHINE = Duration.ofSeconds(30);

    @Test
    void settingsAndFaultsReachTheProgramAtItsNextCall(SimRobot robot) throws Exception {
        SimWorld world = robot.world();
        I2cDevice register = Dln.create().i2c(0x50);
        world.set(0x50, "registers", Map.of("0x10", 60));
        assertEquals(60, register.readRegister(0x10));

        SimTrace before = robot.trace();
        world.fault(SimFault.on("DlnI2cMasterRead").address(0x50).code("nack").count(1));
        assertThrows(NoDeviceException.class, () -> register.readRegister(0x10));
        assertEquals(60, register.readRegister(0x10), "the burst of one is spent");
        List<SimTrace.Call> reads = robot.trace().since(before).to(0x50).stream()
                .filter(c -> c.name().equals("DlnI2cMasterRead")).toList();
        assertEquals(List.of("I2C NACK", ""), reads.stream().map(SimTrace.Call::resultName).toList());

        world.fault(SimFault.on("DlnI2cMasterWrite").address(0x50));
        assertThrows(NoDeviceException.class, () -> register.readRegister(0x10));
        world.clearFaults();
        assertEquals(60, register.readRegister(0x10));

        world.set(0x29, "distanceMm", 300);
        assertEquals(300.0, ((Number) state(world, 0x29).get("distanceMm")).doubleValue());
        Path csv = Files.createTempFile("sonar", ".csv");
        try {
            Files.writeString(csv, "time,distance\n0,123\n");
            world.set(0x70, "distanceCm", Map.of("csv", csv.toString()));
            assertEquals(123L, state(world, 0x70).get("distanceCm"));
        } finally {
            Files.delete(csv);
        }
        assertTrue(world.page().toString().startsWith("http://127.0.0.1:"), world.page()::toString);
    }

    @SuppressWarnings("unchecked")
    static Map<String, Object> state(SimWorld world, int address) throws IOException {
        return (Map<String, Object>) world.device(address).get("state");
    }

    @Test
    void anUnpluggedAdapterFailsTheProgramsCalls(SimRobot robot) throws Exception {
        // Long enough for any machine: the restart below is what plugs it back.
        robot.world().unplug(Duration.ofSeconds(600));
        @SuppressWarnings("unchecked")
        Map<String, Object> adapter = (Map<String, Object>) robot.world().state().get("adapter");
        assertEquals(true, adapter.get("unplugged"), adapter::toString);
        SimTrace before = robot.trace();
        // The server answers, but has no adapter 0: "no such adapter", neither a missing
        // server nor a device that failed.
        DlnException unplugged = assertThrows(DlnException.class,
                () -> Dln.create().i2c(0x50).read(1));
        assertEquals(0x42, unplugged.resultCode(), unplugged::getMessage);
        assertTrue(robot.trace().since(before).calls().stream()
                .anyMatch(c -> c.note().equals("adapter unplugged")), robot.trace().calls()::toString);
        robot.restart();
        assertEquals(1, Dln.create().i2c(0x50).read(1).length);
    }

    @Test
    void aRefusedStepThrowsWithTheSimulatorsReason(SimRobot robot) {
        SimWorld world = robot.world();
        Map<String, Executable> refused = Map.of(
                "dln-sim refused POST /api/world {\"i2c\":41,\"set\":{\"distanceMm\":5000}}: "
                        + "set.distanceMm: 5000 is outside 0..2000",
                () -> world.set(0x29, "distanceMm", 5000),
                "set.distanceMm: \"far\" is not a number", () -> world.set(0x29, "distanceMm", "far"),
                "DlnNoSuchCall", () -> world.fault(SimFault.on("DlnNoSuchCall")),
                "no I2C device at 0x11", () -> world.device(0x11),
                "unplug.forS", () -> world.unplug(Duration.ZERO));
        refused.forEach((reason, step) -> {
            IllegalArgumentException e = assertThrows(IllegalArgumentException.class, step, reason);
            assertTrue(e.getMessage().contains(reason), e.getMessage());
        });
    }

    @Test
    void awaitWaitsForTheCallAndGivesUpNamingWhatItSaw(SimRobot robot) throws Exception {
        SimTrace before = robot.trace();
        CompletableFuture<int[]> read = CompletableFuture.supplyAsync(
                () -> Dln.create().i2c(0x50).read(1));
        SimTrace seen = robot.trace().await(
                t -> !t.since(before).named("DlnI2cMasterRead").isEmpty(), LOADED_MACHINE);
        assertEquals(1, seen.since(before).named("DlnI2cMasterRead").size());
        read.get();
        AssertionError late = assertThrows(AssertionError.class,
                () -> robot.trace().await(t -> false, Duration.ofMillis(50)));
        assertTrue(late.getMessage().startsWith("the trace did not meet the condition within "
                + "PT0.05S"), late.getMessage());
        assertTrue(late.getMessage().contains("DlnI2cMasterRead"), late.getMessage());
    }
}
