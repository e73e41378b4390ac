import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import i2cdln.Dln;
import i2cdln.I2cDevice;
import i2cdln.NoDeviceException;
import i2cdln.SpiDevice;
import i2cdln.sim.DeviceFailure;
import i2cdln.sim.I2cDeviceModel;
import i2cdln.sim.SimDevice;
import i2cdln.sim.SimRobot;
import i2cdln.sim.SimTrace;
import i2cdln.sim.SimulatedRobot;
import java.util.Arrays;
import java.util.List;
import java.util.Map;
import java.util.concurrent.CountDownLatch;
import org.junit.jupiter.api.Test;

/** Boards of our own, written in Java, on the simulated buses of the default robot. */
@SimulatedRobot(devices = @SimDevice(i2c = 0x49, model = KitDeviceModelTest.Thermometer.class))
class KitDeviceModelTest {
    /**
     * A thermometer with two registers, as the Python provider of docs/device-providers.md:
     * the first byte written sets the register pointer; register 0 holds the temperature in
     * 1/256 degrees (high byte first), register 1 a configuration byte.
     */
    public static class Thermometer implements I2cDeviceModel {
        private final int[][] registers = {{21, 128}, {0}}; // 21.5 degrees
        private int pointer;

        @Override
        public void write(int[] bytes) {
            if (bytes.length == 0 || bytes[0] >= registers.length) {
                throw DeviceFailure.nack();
            }
            pointer = bytes[0];
            for (int i = 1; i < bytes.length && i <= registers[pointer].length; i++) {
                registers[pointer][i - 1] = bytes[i];
            }
        }

        @Override
        public int[] read(int count) {
            int[] value = new int[count];
            for (int i = 0; i < count; i++) {
                value[i] = registers[pointer][i % registers[pointer].length];
            }
            return value;
        }

        @Override
        public Map<String, ?> state() {
            return Map.of("temperatureC", (registers[0][0] * 256 + registers[0][1]) / 256.0,
                    "configuration", registers[1][0]);
        }
    }

    @Test
    void aJavaModelAnswersTheTypedApi(SimRobot robot) throws Exception {
        Dln dln = Dln.create();
        I2cDevice thermometer = dln.i2c(0x49);
        assertArrayEquals(new int[] {21, 128}, thermometer.readRegisters(0, 2));
        thermometer.writeRegisters(1, 0x60);
        assertEquals(0x60, thermometer.readRegister(1));
        assertEquals(0x60, robot.model(Thermometer.class).state().get("configuration"));
        assertTrue(dln.adapter().scan().contains(0x49), "a scan finds it");

        SimTrace before = robot.trace();
        assertThrows(NoDeviceException.class, () -> thermometer.readRegister(7));
        SimTrace.Call refused = robot.trace().since(before).to(0x49).get(0);
        assertEquals(List.of(7), refused.out());
        assertEquals("I2C NACK", refused.resultName());

        Map<String, Object> device = robot.world().device(0x49);
        assertEquals("external", device.get("model"), device::toString);
        assertEquals(Map.of("temperatureC", 21.5, "configuration", 0x60L,
                "provider", "thermometer"), device.get("state"));

        robot.restart();
        assertEquals(0x60, thermometer.readRegister(1), "the same model, claimed again");
    }

    @Test
    void modelsAttachedFromATestComeAndGo(SimRobot robot) throws Exception {
        SpiDevice line2 = Dln.create().spi(2, 0, 1_000_000);
        try (SimRobot.Attachment inverter = robot.attachSpi(2,
                bytes -> Arrays.stream(bytes).map(b -> b ^ 0xFF).toArray())) {
            assertArrayEquals(new int[] {0x60, 0xFF}, line2.transfer(0x9F, 0x00));
        }
        SimTrace before = robot.trace();
        line2.transfer(0x9F, 0x00);
        assertTrue(robot.trace().since(before).calls().stream()
                .noneMatch(c -> c.in().equals(List.of(0x60, 0xFF))), "taken off the bus");

        IllegalArgumentException taken = assertThrows(IllegalArgumentException.class,
                () -> robot.attach(0x50, new Thermometer()));
        assertTrue(taken.getMessage().contains("0x50"), taken.getMessage());

        // A model's own fault fails its transfer as a failed one, and nothing else.
        try (SimRobot.Attachment broken = robot.attach(0x4a, new Thermometer() {
            @Override
            public int[] read(int count) {
                throw new IllegalStateException("a model's own fault, on purpose");
            }
        })) {
            assertThrows(NoDeviceException.class, () -> Dln.create().i2c(0x4a).read(1));
            assertArrayEquals(new int[] {21, 128}, Dln.create().i2c(0x49).readRegisters(0, 2));
        }

        // A model that answers later than the kit's time-out fails its transfer, and only that.
        CountDownLatch answer = new CountDownLatch(1);
        try (SimRobot.Attachment slow = robot.attach(0x4b, new Thermometer() {
            @Override
            public int[] read(int count) {
                try {
                    answer.await();
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
                return super.read(count);
            }
        })) {
            SimTrace beforeSlow = robot.trace();
            assertThrows(NoDeviceException.class, () -> Dln.create().i2c(0x4b).read(1));
            answer.countDown();
            SimTrace.Call late = robot.trace().since(beforeSlow).named("DlnI2cMasterRead").get(0);
            assertEquals(0x4F, late.result(), late::toString);
            assertEquals("external java-model: no answer within "
                    + SimRobot.MODEL_TIMEOUT.toMillis() + " ms", late.note());
        }
    }
}
